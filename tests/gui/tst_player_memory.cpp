// A long session does the same few things thousands of times: whatever the player's widgets build
// for one status or one programme must be gone, or shared, by the next.
#include "playback/MediaPlayer.h"

#include <QTest>
#include <QToolButton>
#include <malloc.h>

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};

// What the allocator has handed out and not had back, in whichever arena or mapping: free memory
// it keeps for later does not count, so this moves only with what the program holds.
qint64 heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

} // namespace

class TestPlayerMemory : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void statusChangesLeaveTheHeapAsItWas();
};

// While a stream buffers its status text changes many times a second, and every drop brings more:
// thousands of changes in an hour, each shown on the bar with its buttons.
void TestPlayerMemory::statusChangesLeaveTheHeapAsItWas() {
    MediaPlayer player(kSilent);
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    auto* mute = player.findChild<QToolButton*>(QStringLiteral("muteButton"));
    QVERIFY(mute);
    const auto changeAndPaint = [&](int round) {
        player.showNotice(QStringLiteral("正在缓冲 %1%").arg(round % 100), 60000);
        // The pictures change too, back and forth.
        if (round % 10 == 0)
            mute->click();
        player.grab();
    };
    // Whatever is made once (fonts, the style's own pixmaps) is made in the first rounds.
    for (int round = 0; round < 50; ++round)
        changeAndPaint(round);
    const qint64 before = heapInUse();
    for (int round = 0; round < 2000; ++round)
        changeAndPaint(round);
    const qint64 grown = heapInUse() - before;
    QVERIFY2(grown < 1024 * 1024,
             qPrintable(QStringLiteral("the heap grew by %1 KiB").arg(grown / 1024)));
}

QTEST_MAIN(TestPlayerMemory)
#include "tst_player_memory.moc"
