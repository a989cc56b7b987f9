// An address longer than the player takes is refused whole, never cut into another address.
#include "playback/MediaPlayer.h"
#include "ui/Dialogs.h"
#include "ui/WindowDefinition.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using Status = MediaPlayer::Status;

namespace {

// 40 000 characters, ending in a part that a cut at 32 767 would lose.
QString longAddress() {
    return u"http://127.0.0.1/sp/"_s + QString(40000 - 20 - 4, u'x') + u".wmv"_s;
}

} // namespace

class TestLongAddress : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pastedAddressReachesThePlayerWhole();
    void playerRefusesItWithAStatusText();
};

void TestLongAddress::pastedAddressReachesThePlayerWhole() {
    QStringList written;
    QTimer::singleShot(0, qApp, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto* address = ui::unit<QComboBox>(dialog, u"组合框1"_s);
        QApplication::clipboard()->setText(longAddress());
        QTest::keyClick(address->lineEdit(), Qt::Key_V, Qt::ControlModifier);
        QTest::mouseClick(ui::unit<QPushButton>(dialog, u"按钮2"_s), Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject();
    });
    openUrlDialog([&](const QString& url) { written << url; });
    QCOMPARE(written.size(), 1);
    QCOMPARE(written.first().size(), 40000);
    QVERIFY(written.first().endsWith(u"xxxx.wmv"_s));
}

void TestLongAddress::playerRefusesItWithAStatusText() {
    MediaPlayer player(EngineOptions{.audioOutput = "adummy"});
    player.show();
    QSignalSpy statuses(&player, &MediaPlayer::statusChanged);

    player.setURL(longAddress());
    QCOMPARE(statuses.size(), 1);
    QCOMPARE(player.status(), Status::Idle);
    QCOMPARE(player.URL(), QString());
    QCOMPARE(player.statusText(), u"地址过长（40000 个字符，最多 32767 个），未播放"_s);

    // At the limit the address is the player's to try; the refusal is gone with it.
    const QString longest = u"/no/such/"_s + QString(32767 - 9, u'x');
    player.setURL(longest);
    QCOMPARE(player.URL(), longest);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::CannotPlay, 20000);
    // A path libVLC cannot open and no file is there: the player says which.
    QCOMPARE(player.statusText(), u"找不到文件"_s);
}

QTEST_MAIN(TestLongAddress)
#include "tst_long_address.moc"
