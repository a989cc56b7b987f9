// Keeping programmes in the real main window against the real station: 下载 from an item's
// context menu (a station group's and 我的收藏's), the 下载中 group with progress and speed, two at
// once and the third waiting, cancelling, the 已下载 group, a kept programme playing from its
// file at once where it was left, the same programme in its station group as before, and 删除.
#include "HostedWindow.h"
#include "app/Startup.h"
#include "playback/MediaPlayer.h"
#include "playback/PlaybackController.h"
#include "ui/DownloadService.h"
#include "ui/LibraryService.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QAccessible>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using Status = MediaPlayer::Status;
using GroupKind = RollDownMenuModel::GroupKind;

class TestDownloadsWindow : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void downloadsRunTwoAtOnceWithTheirProgress();
    void aKeptProgrammePlaysFromItsFileWhereItWasLeft();
    void deleteRemovesTheFile();

  private:
    QString title(int group, int position) const {
        return menu_->model().itemDisplayTitle(menu_->model().itemIndex(group, position));
    }
    QString detail(int group, int position) const {
        return menu_->model().itemDetail(menu_->model().itemIndex(group, position));
    }
    QString keptPath(const QString& title) const {
        return videos_.filePath(u"新闻联播/"_s + title + u".wmv"_s);
    }
    int lastGroup() const { return menu_->model().groupCount() - 1; }

    QTemporaryDir media_;
    QTemporaryDir videos_;
    std::unique_ptr<HostedWindow> hosted_;
    MainWindow* window_ = nullptr;
    RollDownMenu* menu_ = nullptr;
    MediaPlayer* player_ = nullptr;
    LibraryService* library_ = nullptr;
};

void TestDownloadsWindow::initTestCase() {
    // Every title streams the 40 s clip, sent at most twice its own rate: a download takes some
    // seconds, so it can be seen under way.
    QVERIFY(QFile::link(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"),
                        media_.filePath(u"demo-long.wmv"_s)));
    hosted_ = std::make_unique<HostedWindow>(
        QStringList{u"--media"_s, media_.path(), u"--max-speed"_s, u"2"_s},
        [this](Config& config) { config.downloadsFolder = videos_.path(); });
    QVERIFY(hosted_->ready());
    window_ = &hosted_->window();
    menu_ = &hosted_->menu();
    player_ = &hosted_->player();
    library_ = hosted_->startup().library();
    QCOMPARE(menu_->model().groupCount(), 5);
}

void TestDownloadsWindow::cleanupTestCase() {
    hosted_.reset();
}

void TestDownloadsWindow::downloadsRunTwoAtOnceWithTheirProgress() {
    const QStringList titles{title(0, 0), title(0, 1), title(0, 2), title(0, 3)};
    RollDownMenuModel& model = menu_->model();
    QCOMPARE(triggerItemMenu(*menu_, {0, 0}, u"下载"_s),
             (QStringList{u"加入收藏"_s, u"从头播放"_s, u"下载"_s}));
    QVERIFY(triggerItemMenu(*menu_, {0, 1}, u"下载"_s));
    // From 我的收藏 as well.
    QVERIFY(triggerItemMenu(*menu_, {0, 2}, u"加入收藏"_s));
    QCOMPARE(model.groupDisplayTitle(5), u"我的收藏"_s);
    QVERIFY(triggerItemMenu(*menu_, {5, 0}, u"下载"_s));
    QVERIFY(triggerItemMenu(*menu_, {0, 3}, u"下载"_s));

    // After the library's other groups, with the downloads in the order asked for.
    QCOMPARE(model.groupCount(), 7);
    QCOMPARE(model.groupDisplayTitle(6), u"下载中"_s);
    QCOMPARE(model.groupKind(6), GroupKind::Downloading);
    QCOMPARE(model.itemCount(6), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(title(6, i), titles[i]);
    QCOMPARE(detail(6, 2), u"等待中"_s);
    QCOMPARE(detail(6, 3), u"等待中"_s);
    const QRegularExpression underWay(u"^\\d{1,2}% \\d+(\\.\\d)?[KM]B/s$"_s);
    QTRY_VERIFY_WITH_TIMEOUT(
        underWay.match(detail(6, 0)).hasMatch() && underWay.match(detail(6, 1)).hasMatch(), 20000);
    menu_->setOpenGroup(6);
    saveShot(*window_, u"issue25-downloading"_s);
    // A screen reader hears the row's progress after its title.
    QAccessibleInterface* downloading = QAccessible::queryAccessibleInterface(menu_)->child(6);
    QCOMPARE(downloading->text(QAccessible::Name), u"下载中"_s);
    QCOMPARE(downloading->child(0)->text(QAccessible::Name), titles[0]);
    QVERIFY(underWay.match(downloading->child(0)->text(QAccessible::Description)).hasMatch());
    QCOMPARE(downloading->child(3)->text(QAccessible::Description), u"等待中"_s);

    // The one waiting says so, and cancelled it goes; the last still waits for a place.
    QCOMPARE(triggerItemMenu(*menu_, {6, 2}, u"取消下载"_s),
             (QStringList{u"取消收藏"_s, u"从头播放"_s, u"[等待下载（同时最多下载两个）]"_s,
                          u"取消下载"_s}));
    QCOMPARE(model.itemCount(6), 3);
    QCOMPARE(title(6, 2), titles[3]);
    QTRY_COMPARE_WITH_TIMEOUT(model.groupDisplayTitle(lastGroup()), u"已下载"_s, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(model.itemCount(lastGroup()) == 3, 60000);
    QCOMPARE(model.groupKind(lastGroup()), GroupKind::Downloaded);
    QCOMPARE(model.groupDisplayTitle(lastGroup() - 1), u"我的收藏"_s);
    for (int i : {0, 1, 3})
        QCOMPARE(QFileInfo(keptPath(titles[i])).size(), 6'708'009);
    QVERIFY(!QFileInfo::exists(keptPath(titles[2]) + u".part"_s));
    menu_->setOpenGroup(lastGroup());
    saveShot(*window_, u"issue25-downloaded"_s);
}

void TestDownloadsWindow::aKeptProgrammePlaysFromItsFileWhereItWasLeft() {
    const QString first = title(lastGroup(), 0);
    QCOMPARE(first, title(0, 0));
    auto* adTimer = window_->findChild<QTimer*>(u"时钟1"_s);
    QVERIFY(adTimer);
    const auto chooseKept = [this] {
        menu_->setOpenGroup(lastGroup());
        QTest::mouseClick(menu_, Qt::LeftButton, {}, menu_->itemRect(lastGroup(), 0).center());
    };

    // Chosen in 已下载: its file, at once, without the advertisement.
    chooseKept();
    QCOMPARE(window_->playback().location(), keptPath(first));
    QVERIFY(!adTimer->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), Status::Playing, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(player_->length() > 0, 10000);
    player_->seekTo(20'000);
    QTRY_VERIFY_WITH_TIMEOUT(player_->time() >= 20'000, 10000);

    // Chosen again, it goes on where it was left.
    QSignalSpy resumed(library_, &LibraryService::resumedAt);
    chooseKept();
    QCOMPARE(window_->playback().location(), keptPath(first));
    const std::optional<qint64> left = library_->library().position({u"新闻联播"_s, first});
    QVERIFY(left && *left >= 20'000 && *left < 25'000);
    QCOMPARE(player_->statusText(), u"从 00:%1 继续播放"_s.arg(*left / 1000));
    QVERIFY(resumed.wait(15000));
    QVERIFY2(qAbs(resumed.at(0).at(0).toLongLong() - *left) < 1000,
             qPrintable(QString::number(resumed.at(0).at(0).toLongLong())));
    saveShot(*window_, u"issue25-kept-resumed"_s);

    // In its station group the same programme is the stream after the countdown, from the one
    // position the programme has.
    player_->seekTo(22'000);
    QTRY_VERIFY_WITH_TIMEOUT(player_->time() >= 22'000, 10000);
    menu_->setOpenGroup(0);
    hosted_->choose(0);
    QVERIFY(adTimer->isActive());
    const qint64 shared = *library_->library().position({u"新闻联播"_s, first});
    QVERIFY(shared >= 22'000);
    for (int i = 0; i < 5; ++i)
        hosted_->tick();
    QVERIFY(window_->playback().location().startsWith(u"mms://"_s));
    QVERIFY(resumed.wait(15000));
    QVERIFY(qAbs(resumed.last().at(0).toLongLong() - shared) < 1000);
    player_->setURL(QString());
}

void TestDownloadsWindow::deleteRemovesTheFile() {
    const int kept = lastGroup();
    const QString first = title(kept, 0);
    QVERIFY(QFileInfo::exists(keptPath(first)));
    // The recent list's item knows it is kept.
    QCOMPARE(menu_->model().groupDisplayTitle(kept - 1), u"最近观看"_s);
    QCOMPARE(triggerItemMenu(*menu_, {kept - 1, 0}, u"删除"_s),
             (QStringList{u"加入收藏"_s, u"从头播放"_s, u"[已下载，6.4 MB]"_s, u"删除"_s}));
    QVERIFY(!QFileInfo::exists(keptPath(first)));
    QCOMPARE(menu_->model().itemCount(kept), 2);
    QVERIFY(title(kept, 0) != first);
}

int main(int argc, char* argv[]) {
    TestDownloadsWindow test;
    return runHostedTest(test, argc, argv);
}
#include "tst_downloads_window.moc"
