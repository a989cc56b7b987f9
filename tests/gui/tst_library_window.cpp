// The user's library in the real main window: favourites from the context menu, the recent list,
// and resuming on the station's long clip with real libVLC.
#include "HostedWindow.h"
#include "app/Startup.h"
#include "playback/MediaPlayer.h"
#include "ui/LibraryService.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"
#include "ui/RollDownMenuFind.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Status = MediaPlayer::Status;

namespace {

QByteArray compactFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<none>";
    return QJsonDocument::fromJson(file.readAll()).toJson(QJsonDocument::Compact);
}

} // namespace

class TestLibraryWindow : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void favouritesComeAndGoFromTheContextMenu();
    void aResumedProgrammeStartsWhereItWasLeft();
    void homeAndStartOverPlayFromTheBeginning();
    void aFavouriteGoneFromTheCatalogueIsGreyedAndRemovable();
    void theWholeCatalogueIsSearchedBesideBothGroups();

  private:
    // The context menu of the menu's row, opened by the Menu key as a user would, and its action.
    void triggerFromContextMenu(MenuRow row, const QString& caption);
    void playFirstItem();
    QString libraryPath() const { return hosted_->programDirectory() + u"/library.json"_s; }
    QString firstTitle() const { return menu_->model().itemDisplayTitle(0); }

    QTemporaryDir media_;
    std::unique_ptr<HostedWindow> hosted_;
    MainWindow* window_ = nullptr;
    RollDownMenu* menu_ = nullptr;
    MediaPlayer* player_ = nullptr;
    LibraryService* library_ = nullptr;
};

void TestLibraryWindow::initTestCase() {
    // Every title streams the 40 s clip.
    QVERIFY(QFile::link(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"),
                        media_.filePath(u"demo-long.wmv"_s)));
    hosted_ = std::make_unique<HostedWindow>(QStringList{u"--media"_s, media_.path()});
    QVERIFY(hosted_->ready());
    window_ = &hosted_->window();
    menu_ = &hosted_->menu();
    player_ = &hosted_->player();
    library_ = hosted_->startup().library();
    QVERIFY(library_);
    // A fresh folder: only the station's five groups.
    QCOMPARE(menu_->model().groupCount(), 5);
    QVERIFY(!QFile::exists(libraryPath()));
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
}

void TestLibraryWindow::cleanupTestCase() {
    hosted_.reset();
}

void TestLibraryWindow::init() {
    player_->setURL(QString());
    menu_->setOpenGroup(0);
}

void TestLibraryWindow::triggerFromContextMenu(MenuRow row, const QString& caption) {
    menu_->setFocus();
    menu_->setOpenGroup(row.group);
    const QRect rect = menu_->itemRect(row.group, row.position);
    QContextMenuEvent event(QContextMenuEvent::Mouse, rect.center(),
                            menu_->mapToGlobal(rect.center()));
    QApplication::sendEvent(menu_, &event);
    QMenu* popup = nullptr;
    QTRY_VERIFY((popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
    QAction* action = nullptr;
    QStringList captions;
    for (QAction* a : popup->actions()) {
        captions << a->text();
        if (a->text() == caption)
            action = a;
    }
    QVERIFY2(action, qPrintable(captions.join(u'|')));
    popup->close();
    action->trigger();
}

void TestLibraryWindow::favouritesComeAndGoFromTheContextMenu() {
    const QString second = menu_->model().itemDisplayTitle(menu_->model().itemIndex(1, 2));
    triggerFromContextMenu({0, 0}, u"加入收藏"_s);
    triggerFromContextMenu({1, 2}, u"加入收藏"_s);
    RollDownMenuModel& model = menu_->model();
    QCOMPARE(model.groupDisplayTitle(5), u"我的收藏"_s);
    QCOMPARE(model.itemCount(5), 2);
    QCOMPARE(model.itemDisplayTitle(model.itemIndex(5, 0)), firstTitle());
    QCOMPARE(model.itemDisplayTitle(model.itemIndex(5, 1)), second);
    QCOMPARE(compactFile(libraryPath()),
             (uR"({"favourites":[{"category":"新闻联播","title":"%1"},)"
              uR"({"category":"药都时空","title":"%2"}],"positions":[],"recent":[],"version":1})"_s)
                 .arg(firstTitle(), second)
                 .toUtf8());
    // The favourite's own context menu offers the removal.
    triggerFromContextMenu({5, 1}, u"取消收藏"_s);
    triggerFromContextMenu({0, 0}, u"取消收藏"_s);
    QCOMPARE(model.groupCount(), 5);
    QCOMPARE(compactFile(libraryPath()),
             QByteArray(R"({"favourites":[],"positions":[],"recent":[],"version":1})"));
}

void TestLibraryWindow::playFirstItem() {
    hosted_->choose(0);
    for (int i = 0; i < 5; ++i)
        hosted_->tick();
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), Status::Playing, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(player_->length() > 0, 10000);
}

void TestLibraryWindow::aResumedProgrammeStartsWhereItWasLeft() {
    playFirstItem();
    // Played, it heads the recent list, shown after the station's groups.
    RollDownMenuModel& model = menu_->model();
    QCOMPARE(model.groupDisplayTitle(model.groupCount() - 1), u"最近观看"_s);
    QCOMPARE(model.itemDisplayTitle(model.itemIndex(model.groupCount() - 1, 0)), firstTitle());

    player_->seekTo(20'000);
    QTRY_VERIFY_WITH_TIMEOUT(player_->time() >= 20'000, 10000);
    // Leaving it by choosing it again keeps the position.
    hosted_->choose(0);
    const ProgrammeKey key{u"新闻联播"_s, firstTitle()};
    const std::optional<qint64> kept = library_->library().position(key);
    QVERIFY(kept);
    QVERIFY2(*kept >= 20'000 && *kept < 25'000, qPrintable(QString::number(*kept)));

    QSignalSpy resumed(library_, &LibraryService::resumedAt);
    for (int i = 0; i < 5; ++i)
        hosted_->tick();
    // Kept between 20 and 25 s, so the minutes are 00 and the seconds two digits.
    const QString notice = u"从 00:%1 继续播放"_s.arg(*kept / 1000);
    QCOMPARE(player_->statusText(), notice);
    QVERIFY(resumed.wait(15000));
    const qint64 at = resumed.at(0).at(0).toLongLong();
    QVERIFY2(qAbs(at - *kept) < 1000, qPrintable(u"%1 vs %2"_s.arg(at).arg(*kept)));
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), Status::Playing, 10000);
    saveShot(*window_, u"issue11-resumed"_s);
    // The notice goes after its 3 s.
    QTRY_VERIFY_WITH_TIMEOUT(player_->statusText() != notice, 5000);
}

void TestLibraryWindow::homeAndStartOverPlayFromTheBeginning() {
    const ProgrammeKey key{u"新闻联播"_s, firstTitle()};
    playFirstItem();
    player_->seekTo(20'000);
    QTRY_VERIFY_WITH_TIMEOUT(player_->time() >= 20'000, 10000);
    // Home, from the player, goes back to the start and drops the position.
    player_->setFocus();
    QTest::keyClick(player_, Qt::Key_Home);
    QTRY_VERIFY_WITH_TIMEOUT(player_->time() > 0 && player_->time() < 5000, 10000);
    QCOMPARE(library_->library().position(key), std::nullopt);

    player_->seekTo(20'000);
    QTRY_VERIFY_WITH_TIMEOUT(player_->time() >= 20'000, 10000);
    player_->setURL(QString()); // stop: the position is kept
    QVERIFY(library_->library().position(key));
    // 从头播放 chooses it to start at the beginning after the countdown.
    triggerFromContextMenu({0, 0}, u"从头播放"_s);
    QCOMPARE(menu_->SelectedItem(), 0);
    for (int i = 0; i < 5; ++i)
        hosted_->tick();
    QVERIFY(!player_->statusText().startsWith(u"从 "_s));
    QTRY_VERIFY_WITH_TIMEOUT(player_->time() > 0, 10000);
    QVERIFY2(player_->time() < 5000, qPrintable(QString::number(player_->time())));
    QCOMPARE(library_->library().position(key), std::nullopt);
}

void TestLibraryWindow::aFavouriteGoneFromTheCatalogueIsGreyedAndRemovable() {
    QFile file(libraryPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(
        uR"({"version":1,"skin":"blue","favourites":[{"category":"新闻联播","title":"停播的节目"},)"
        uR"({"category":"新闻联播","title":"%1"}]})"_s.arg(firstTitle())
            .toUtf8());
    file.close();
    library_->load();
    RollDownMenuModel& model = menu_->model();
    QCOMPARE(model.groupCount(), 6);
    QCOMPARE(model.groupDisplayTitle(5), u"我的收藏"_s);
    const int gone = model.itemIndex(5, 0);
    QCOMPARE(model.itemDisplayTitle(gone), u"停播的节目"_s);
    QVERIFY(!model.isChoosable(gone));
    QVERIFY(model.isChoosable(model.itemIndex(5, 1)));
    QSignalSpy chosen(menu_, &RollDownMenu::itemChosen);
    menu_->setOpenGroup(5);
    QTest::mouseClick(menu_, Qt::LeftButton, {}, menu_->itemRect(5, 0).center());
    QCOMPARE(chosen.count(), 0);

    triggerFromContextMenu({5, 0}, u"取消收藏"_s);
    QCOMPARE(model.itemCount(5), 1);
    QCOMPARE(compactFile(libraryPath()),
             (uR"({"favourites":[{"category":"新闻联播","title":"%1"}],"positions":[],)"
              uR"("recent":[],"skin":"blue","version":1})"_s)
                 .arg(firstTitle())
                 .toUtf8());
}

void TestLibraryWindow::theWholeCatalogueIsSearchedBesideBothGroups() {
    // One favourite is left by the test before; a play puts the first item in the recent list.
    playFirstItem();
    RollDownMenuModel& model = menu_->model();
    QCOMPARE(model.groupCount(), 7);
    QCOMPARE(model.groupDisplayTitle(5), u"我的收藏"_s);
    QCOMPARE(model.groupDisplayTitle(6), u"最近观看"_s);
    menu_->setOpenGroup(5);
    saveShot(*window_, u"issue11-groups-window"_s);

    // Ctrl+F from the player; full-width digits find the station's half-width titles. A shortcut
    // needs the active window, which another test on the display may have taken meanwhile.
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    player_->setFocus();
    QTest::keyClick(player_, Qt::Key_F, Qt::ControlModifier);
    RollDownMenuFind& find = window_->find();
    QVERIFY(find.isOpen());
    QVERIFY(find.field().hasFocus());
    find.field().setText(u"０１１２"_s);
    QStringList shown;
    for (int item : find.shownItems())
        shown << model.itemDisplayTitle(item);
    QVERIFY2(shown.contains(u"新闻联播0112期"_s), qPrintable(shown.join(u'|')));
    for (const QString& title : shown)
        QVERIFY2(title.contains(u"0112"_s), qPrintable(title));
    saveShot(*window_, u"issue11-search-window"_s);
    QTest::keyClick(&find.field(), Qt::Key_Escape);
    QVERIFY(!find.isOpen());
    QCOMPARE(menu_->openGroup(), 5);
}

int main(int argc, char* argv[]) {
    TestLibraryWindow test;
    return runHostedTest(test, argc, argv);
}
#include "tst_library_window.moc"
