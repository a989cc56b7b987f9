// The library's rules without a window: a menu model filled as the catalogue run fills it, the
// real playback object playing the station's 40 s clip from disk, the real library file.
#include "catalogue/Gbk.h"
#include "playback/PlaybackController.h"
#include "settings/LibraryFile.h"
#include "ui/LibraryService.h"
#include "ui/RollDownMenuModel.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using GroupKind = RollDownMenuModel::GroupKind;

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};
const QString kLong = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"); // 40 s
constexpr int kPlayerMs = 20000;

} // namespace

class TestLibraryService : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void favouritesAreAGroupOfTheirOwnKind();
    void aFavouriteGoneFromTheCatalogueCanOnlyBeRemoved();
    void playedProgrammesAreRecentAndResumeWhereLeft();
    void startOverDuringTheCountdownOrWhilePlaying();

  private:
    // Two station groups as the catalogue run adds them; item 0 is 新闻联播0112.
    void fillStation();
    // A choice through the countdown to the player, as the main window makes it.
    qint64 choose(int item);
    QString path() const { return dir_->filePath(library_file::kFileName); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<RollDownMenuModel> menu_;
    std::unique_ptr<PlaybackController> playback_;
    std::unique_ptr<LibraryService> library_;
};

void TestLibraryService::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    menu_ = std::make_unique<RollDownMenuModel>();
    playback_ = std::make_unique<PlaybackController>(kSilent);
    library_ = std::make_unique<LibraryService>(*menu_, *playback_, path());
}

void TestLibraryService::cleanup() {
    library_.reset();
    playback_.reset();
    menu_.reset();
}

void TestLibraryService::fillStation() {
    menu_->AddGroup(toGbk(u"新闻联播"_s), 1, 1);
    menu_->AddItem(toGbk(u"新闻联播0112"_s), 0);
    menu_->AddItem(toGbk(u"新闻联播0113"_s), 0);
    // A station group whose label is a library group's name is still the station's.
    menu_->AddGroup(toGbk(u"我的收藏"_s), 2, 2);
    menu_->AddItem(toGbk(u"收藏节目"_s), 1);
}

qint64 TestLibraryService::choose(int item) {
    menu_->select(item);
    library_->chosen();
    playback_->open(QString());
    const qint64 from = library_->startPosition(item);
    playback_->open(kLong, from, menu_->itemDisplayTitle(item));
    library_->started(item, from);
    return from;
}

void TestLibraryService::favouritesAreAGroupOfTheirOwnKind() {
    fillStation();
    library_->load();
    QCOMPARE(menu_->groupCount(), 2);
    QCOMPARE(library_->menuFor(2)->favourite, false);
    QVERIFY(library_->menuFor(2)->canPlayFromStart);

    QSignalSpy saved(library_.get(), &LibraryService::saved);
    library_->toggleFavourite(2);
    library_->toggleFavourite(0);
    QCOMPARE(saved.size(), 2);
    QCOMPARE(menu_->groupCount(), 3);
    QCOMPARE(menu_->groupDisplayTitle(2), u"我的收藏"_s);
    QCOMPARE(menu_->groupKind(2), GroupKind::Favourites);
    QCOMPARE(menu_->groupKind(1), GroupKind::Station);
    QCOMPARE(menu_->itemDisplayTitle(menu_->itemIndex(2, 0)), u"收藏节目"_s);
    QCOMPARE(menu_->itemDisplayTitle(menu_->itemIndex(2, 1)), u"新闻联播0112"_s);
    // The favourite's row stands for the station item: removing it there removes it here.
    QCOMPARE(library_->menuFor(menu_->itemIndex(2, 0))->favourite, true);
    library_->toggleFavourite(menu_->itemIndex(2, 0));
    QCOMPARE(menu_->itemCount(2), 1);
    QCOMPARE(library_->library().favourites(),
             (std::vector<ProgrammeKey>{{u"新闻联播"_s, u"新闻联播0112"_s}}));

    // What was written is what a later start reads.
    RollDownMenuModel again;
    PlaybackController otherPlayback(kSilent);
    LibraryService later(again, otherPlayback, path());
    again.AddGroup(toGbk(u"新闻联播"_s), 1, 1);
    again.AddItem(toGbk(u"新闻联播0112"_s), 0);
    later.load();
    QCOMPARE(again.groupCount(), 2);
    QCOMPARE(again.groupKind(1), GroupKind::Favourites);
    QCOMPARE(again.sourceItem(again.itemIndex(1, 0)), 0);
}

void TestLibraryService::aFavouriteGoneFromTheCatalogueCanOnlyBeRemoved() {
    QFile file(path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"version":1,"favourites":[{"category":"新闻联播","title":"旧节目"}]})");
    file.close();
    fillStation();
    library_->load();
    const int shown = menu_->itemIndex(2, 0);
    QCOMPARE(menu_->itemDisplayTitle(shown), u"旧节目"_s);
    QVERIFY(!menu_->isChoosable(shown));
    QVERIFY(!library_->keyOf(shown));
    const auto offer = library_->menuFor(shown);
    QVERIFY(offer);
    QVERIFY(offer->favourite);
    QVERIFY(!offer->canPlayFromStart);
    library_->toggleFavourite(shown);
    QCOMPARE(menu_->groupCount(), 2);
    QVERIFY(library_->library().favourites().empty());
    // Headers and rows of nothing offer nothing.
    QVERIFY(!library_->menuFor(-1));
    QVERIFY(!library_->menuFor(99));
}

void TestLibraryService::playedProgrammesAreRecentAndResumeWhereLeft() {
    fillStation();
    library_->load();
    QCOMPARE(choose(0), 0);
    QCOMPARE(menu_->groupKind(2), GroupKind::Recent);
    QCOMPARE(menu_->groupDisplayTitle(2), u"最近观看"_s);
    QCOMPARE(menu_->sourceItem(menu_->itemIndex(2, 0)), 0);

    QTRY_VERIFY_WITH_TIMEOUT(playback_->seekable() && playback_->length() > 39000, kPlayerMs);
    playback_->seekTo(20000);
    QTRY_VERIFY_WITH_TIMEOUT(playback_->position() >= 20000, kPlayerMs);
    // Another choice leaves it: its position is kept.
    QCOMPARE(choose(1), 0);
    const ProgrammeKey first{u"新闻联播"_s, u"新闻联播0112"_s};
    const std::optional<qint64> kept = library_->library().position(first);
    QVERIFY(kept);
    QVERIFY2(*kept >= 20000 && *kept < 25000, qPrintable(QString::number(*kept)));

    QSignalSpy resumed(library_.get(), &LibraryService::resumedAt);
    QCOMPARE(choose(0), *kept);
    QCOMPARE(playback_->statusText(), u"从 00:%1 继续播放"_s.arg(*kept / 1000));
    QVERIFY(resumed.wait(kPlayerMs));
    QVERIFY(qAbs(resumed.at(0).at(0).toLongLong() - *kept) < 1000);
    QCOMPARE(menu_->itemDisplayTitle(menu_->itemIndex(2, 0)), u"新闻联播0112"_s);
    QCOMPARE(menu_->itemDisplayTitle(menu_->itemIndex(2, 1)), u"新闻联播0113"_s);

    // Stopped within 10 s of the start: the position is forgotten.
    QTRY_VERIFY_WITH_TIMEOUT(playback_->seekable(), kPlayerMs);
    playback_->seekTo(5000);
    playback_->stop();
    QVERIFY(!library_->library().position(first));
}

void TestLibraryService::startOverDuringTheCountdownOrWhilePlaying() {
    fillStation();
    library_->load();
    choose(0);
    QTRY_VERIFY_WITH_TIMEOUT(playback_->seekable(), kPlayerMs);
    playback_->seekTo(15000);
    QTRY_VERIFY_WITH_TIMEOUT(playback_->position() >= 15000, kPlayerMs);
    library_->leave();
    const ProgrammeKey first{u"新闻联播"_s, u"新闻联播0112"_s};
    QVERIFY(library_->library().position(first));

    // Asked for one choice, a start-over does not carry over to the next.
    menu_->select(1);
    library_->chosen();
    library_->startOver();
    QCOMPARE(library_->startPosition(1), 0);
    library_->started(1, 0);
    library_->chosen();
    QVERIFY(library_->startPosition(0) >= 15000);
    // Home during the countdown: the coming play starts at the beginning and forgets the place.
    library_->chosen();
    library_->startOver();
    QCOMPARE(library_->startPosition(0), 0);
    QVERIFY(!library_->library().position(first));

    // While a programme plays it goes back to the start.
    choose(0);
    QTRY_VERIFY_WITH_TIMEOUT(playback_->seekable(), kPlayerMs);
    playback_->seekTo(30000);
    QSignalSpy seeked(playback_.get(), &PlaybackController::seeked);
    library_->startOver();
    QCOMPARE(seeked.size(), 1);
    QCOMPARE(seeked.at(0).at(0).toLongLong(), 0);
}

QTEST_MAIN(TestLibraryService)
#include "tst_library_service.moc"
