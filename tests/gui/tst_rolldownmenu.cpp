#include "catalogue/Gbk.h"
#include "ui/Fonts.h"
#include "ui/RollDownMenu.h"

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <memory>

namespace {

std::string gbk(const char* utf8) {
    return toGbk(QString::fromUtf8(utf8));
}

// The menu at its size in the main window, shown, behind a line edit that holds the focus first.
struct Fixture {
    QWidget window;
    QLineEdit* before = new QLineEdit(&window);
    RollDownMenu* menu = new RollDownMenu(&window);

    Fixture() {
        before->setGeometry(0, 0, 100, 20);
        menu->setGeometry(0, 30, 152, 440);
        window.resize(160, 480);
    }
    bool show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowExposed(&window) && QTest::qWaitForWindowActive(&window);
    }
};

void fill(RollDownMenu& menu, const std::vector<int>& counts) {
    for (size_t g = 0; g < counts.size(); ++g) {
        menu.AddGroup(gbk("组") + std::to_string(g), int(g) + 1, int(g) + 1);
        for (int i = 0; i < counts[g]; ++i)
            menu.AddItem(std::to_string(g) + "-" + std::to_string(i), int(g));
    }
}

QAccessibleInterface* accessibleOf(RollDownMenu& menu) {
    return QAccessible::queryAccessibleInterface(&menu);
}

// What a real double click delivers: press, release, double-click press, release.
void doubleClick(QWidget* widget, QPoint pos) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}

void press(QAccessibleInterface* row) {
    QVERIFY(row && row->actionInterface());
    QVERIFY(
        row->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    row->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

} // namespace

class TestRollDownMenu : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void songFaceUnderPlainLocale();
    void groupsAndItemsKeepCallOrder();
    void badIndexesAreSafe();
    void headerClickFoldsAndUnfolds();
    void clickChoosesItemOnce();
    void longGroupScrollsBetweenHeaders();
    void keyboardOperation();
    void accessibleTree();
    void splitTitleShowsReplacementOnly();
};

void TestRollDownMenu::songFaceUnderPlainLocale() {
    const QStringList faces{QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC")};
    const QFontInfo info(songFont(12));
    QVERIFY2(faces.contains(info.family()), qPrintable(info.family()));
    QCOMPARE(info.pixelSize(), 12);
    QVERIFY(!info.bold());
    QVERIFY(QFontInfo(songFont(16, true)).bold());

    installSongFace();
    installSongFace();
    const QStringList substitutes = QFont::substitutes(QStringLiteral("宋体"));
    QCOMPARE(substitutes.size(), 2);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(substitutes[i].toLower(), faces[i].toLower());
    QFont declared(QStringLiteral("宋体"));
    declared.setPixelSize(12);
    QVERIFY2(faces.contains(QFontInfo(declared).family()),
             qPrintable(QFontInfo(declared).family()));

    RollDownMenu menu;
    QCOMPARE(QFontInfo(menu.font()).family(), info.family());
    QCOMPARE(menu.cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(menu.focusPolicy(), Qt::StrongFocus);
}

void TestRollDownMenu::groupsAndItemsKeepCallOrder() {
    RollDownMenu menu;
    QCOMPARE(menu.model().groupCount(), 0);
    QCOMPARE(menu.openGroup(), -1);
    menu.AddGroup(gbk("新闻联播"), 1, 1);
    QCOMPARE(menu.openGroup(), 0);
    menu.AddItem(gbk("甲"), 0);
    menu.AddGroup(gbk("药都时空"), 2, 2);
    menu.AddGroup(gbk("走进农家"), 3, 3); // receives nothing
    menu.AddItem(gbk("乙"), 1);
    menu.AddItem(gbk("甲"), 0); // same title again, and back in an earlier group
    menu.AddItem(gbk("丙"), 1);

    QCOMPARE(menu.model().groupCount(), 3);
    QCOMPARE(menu.model().groupTitle(0), gbk("新闻联播"));
    QCOMPARE(menu.model().groupTitle(1), gbk("药都时空"));
    QCOMPARE(menu.model().groupTitle(2), gbk("走进农家"));
    QCOMPARE(menu.model().itemCount(0), 2);
    QCOMPARE(menu.model().itemCount(1), 2);
    QCOMPARE(menu.model().itemCount(2), 0);
    // Indexes count in call order across the menu.
    QCOMPARE(menu.ItemTitle(0), gbk("甲"));
    QCOMPARE(menu.ItemTitle(1), gbk("乙"));
    QCOMPARE(menu.ItemTitle(2), gbk("甲"));
    QCOMPARE(menu.ItemTitle(3), gbk("丙"));
    QCOMPARE(menu.openGroup(), 0);

    menu.resize(152, 440);
    QVERIFY(!menu.headerRect(2).isEmpty());
    QVERIFY(menu.headerRect(2).bottom() < menu.height());
    QVERIFY(!menu.itemRect(0, 1).isEmpty());
    QVERIFY(menu.itemRect(1, 0).isEmpty()); // folded
}

void TestRollDownMenu::badIndexesAreSafe() {
    RollDownMenu menu;
    QCOMPARE(menu.ItemTitle(0), std::string());
    menu.AddItem("x", 0); // no group yet
    fill(menu, {1, 1});
    menu.AddItem("x", -1);
    menu.AddItem("x", 2);
    QCOMPARE(menu.model().itemCount(0) + menu.model().itemCount(1), 2);
    QCOMPARE(menu.SelectedItem(), -1);
    QCOMPARE(menu.ItemTitle(-1), std::string());
    QCOMPARE(menu.ItemTitle(2), std::string());
    QCOMPARE(menu.model().groupTitle(-1), std::string());
    QCOMPARE(menu.model().groupTitle(2), std::string());
    QCOMPARE(menu.model().itemCount(-1), 0);
    QCOMPARE(menu.model().itemCount(5), 0);
    menu.setOpenGroup(1);
    menu.setOpenGroup(7);
    menu.setOpenGroup(-5);
    QCOMPARE(menu.openGroup(), 1);
    QVERIFY(menu.headerRect(2).isEmpty());
    QVERIFY(menu.itemRect(1, 1).isEmpty());
    QVERIFY(menu.itemRect(1, -1).isEmpty());
    auto* iface = accessibleOf(menu);
    QVERIFY(iface);
    QCOMPARE(iface->child(2), nullptr);
    QCOMPARE(iface->child(-1), nullptr);
    QCOMPARE(iface->child(0)->child(1), nullptr);
}

void TestRollDownMenu::headerClickFoldsAndUnfolds() {
    Fixture f;
    fill(*f.menu, {3, 2, 0});
    QVERIFY(f.show());
    QSignalSpy chosen(f.menu, &RollDownMenu::itemChosen);

    QTest::mouseClick(f.menu, Qt::LeftButton, {}, f.menu->headerRect(1).center());
    QCOMPARE(f.menu->openGroup(), 1);
    QVERIFY(f.menu->itemRect(0, 0).isEmpty());
    QVERIFY(!f.menu->itemRect(1, 1).isEmpty());
    // The header below the open group sits at the bottom.
    QCOMPARE(f.menu->headerRect(2).bottom(), f.menu->height() - 2);

    QTest::mouseClick(f.menu, Qt::LeftButton, {}, f.menu->headerRect(1).center());
    QCOMPARE(f.menu->openGroup(), -1);
    QVERIFY(f.menu->itemRect(1, 0).isEmpty());

    // A double click opens a folded group and leaves it open.
    doubleClick(f.menu, f.menu->headerRect(0).center());
    QCOMPARE(f.menu->openGroup(), 0);

    QTest::mouseClick(f.menu, Qt::LeftButton, {}, f.menu->headerRect(2).center());
    QCOMPARE(f.menu->openGroup(), 2); // the empty group opens too
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(f.menu->SelectedItem(), -1);
}

void TestRollDownMenu::clickChoosesItemOnce() {
    Fixture f;
    fill(*f.menu, {3, 2});
    f.menu->AddItem(gbk("同名"), 1);
    f.menu->AddItem(gbk("同名"), 1);
    QVERIFY(f.show());

    std::vector<std::string> readInHandler;
    connect(f.menu, &RollDownMenu::itemChosen, f.menu,
            [&] { readInHandler.push_back(f.menu->ItemTitle(f.menu->SelectedItem())); });
    QSignalSpy chosen(f.menu, &RollDownMenu::itemChosen);

    QTest::mouseClick(f.menu, Qt::LeftButton, {}, f.menu->itemRect(0, 1).center());
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), 0);
    QCOMPARE(chosen.at(0).at(1).toInt(), 1);
    QCOMPARE(readInHandler, std::vector<std::string>{"0-1"});
    QCOMPARE(f.menu->ItemTitle(f.menu->SelectedItem()), std::string("0-1"));

    // Folding and opening other groups leaves the choice alone.
    f.menu->setOpenGroup(1);
    f.menu->setOpenGroup(-1);
    QCOMPARE(f.menu->ItemTitle(f.menu->SelectedItem()), std::string("0-1"));

    // A press on one item released over another chooses nothing.
    f.menu->setOpenGroup(1);
    QTest::mousePress(f.menu, Qt::LeftButton, {}, f.menu->itemRect(1, 0).center());
    QTest::mouseRelease(f.menu, Qt::LeftButton, {}, f.menu->itemRect(1, 1).center());
    QCOMPARE(chosen.count(), 1);

    // Two items of one title stay two: the second one is what is chosen.
    doubleClick(f.menu, f.menu->itemRect(1, 3).center());
    QCOMPARE(chosen.count(), 2);         // a double click is one choice
    QCOMPARE(f.menu->SelectedItem(), 6); // not 5, the first of the two
    QCOMPARE(f.menu->ItemTitle(f.menu->SelectedItem()), gbk("同名"));

    QTest::mouseClick(f.menu, Qt::RightButton, {}, f.menu->itemRect(1, 0).center());
    QCOMPARE(chosen.count(), 2);
}

void TestRollDownMenu::longGroupScrollsBetweenHeaders() {
    Fixture f;
    fill(*f.menu, {50, 50, 20, 48, 7});
    QVERIFY(f.show());
    auto* bar = f.menu->findChild<QScrollBar*>();
    QVERIFY(bar && bar->isVisible());
    QCOMPARE(bar->value(), 0);
    for (int g = 0; g < 5; ++g)
        QVERIFY(f.menu->rect().contains(f.menu->headerRect(g)));
    QVERIFY(!f.menu->itemRect(0, 0).isEmpty());
    QVERIFY(f.menu->itemRect(0, 49).isEmpty());
    // Items never run under a header or the scroll bar.
    QVERIFY(f.menu->itemRect(0, 0).right() < bar->geometry().left());
    const int visible = f.menu->itemRect(0, 0).height();

    const QPoint at = f.menu->itemRect(0, 3).center();
    QWheelEvent wheel(at, f.menu->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.menu, &wheel);
    QVERIFY(bar->value() > 0);
    QVERIFY(f.menu->itemRect(0, 0).isEmpty() || f.menu->itemRect(0, 0).height() < visible);

    // Keyboard End reaches the last item and scrolls it fully into view.
    f.menu->setFocus();
    f.menu->setOpenGroup(3);
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->value(), 0);
    // From header 3, 49 steps reach past the 48 items to header 4; one back is the last item.
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(f.menu, Qt::Key_Down);
    QTest::keyClick(f.menu, Qt::Key_End);
    QTest::keyClick(f.menu, Qt::Key_Up);
    QCOMPARE(f.menu->itemRect(3, 47).height(), visible);
    QCOMPARE(bar->value(), bar->maximum());
    QSignalSpy chosen(f.menu, &RollDownMenu::itemChosen);
    QTest::keyClick(f.menu, Qt::Key_Return);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(f.menu->ItemTitle(f.menu->SelectedItem()), std::string("3-47"));

    // A short group needs no scroll bar.
    f.menu->setOpenGroup(4);
    QVERIFY(!bar->isVisible());
    QVERIFY(!f.menu->itemRect(4, 6).isEmpty());
}

void TestRollDownMenu::keyboardOperation() {
    Fixture f;
    fill(*f.menu, {2, 1});
    QVERIFY(f.show());
    QSignalSpy chosen(f.menu, &RollDownMenu::itemChosen);
    auto* iface = accessibleOf(*f.menu);
    auto focused = [&] {
        QAccessibleInterface* child = iface->focusChild();
        return child ? child->text(QAccessible::Name) : QString();
    };

    f.before->setFocus();
    QTRY_VERIFY(f.before->hasFocus());
    QTest::keyClick(f.before, Qt::Key_Tab);
    QTRY_VERIFY(f.menu->hasFocus());
    QCOMPARE(focused(), QStringLiteral("组0"));

    QTest::keyClick(f.menu, Qt::Key_Return); // header: fold
    QCOMPARE(f.menu->openGroup(), -1);
    QTest::keyClick(f.menu, Qt::Key_Space); // and open again
    QCOMPARE(f.menu->openGroup(), 0);

    QTest::keyClick(f.menu, Qt::Key_Down);
    QTest::keyClick(f.menu, Qt::Key_Down);
    QCOMPARE(focused(), QStringLiteral("0-1"));
    QTest::keyClick(f.menu, Qt::Key_Space);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(f.menu->ItemTitle(f.menu->SelectedItem()), std::string("0-1"));

    // A held key chooses once.
    QTest::keyPress(f.menu, Qt::Key_Enter);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(f.menu, &repeat);
    QTest::keyRelease(f.menu, Qt::Key_Enter);
    QCOMPARE(chosen.count(), 2);

    QTest::keyClick(f.menu, Qt::Key_Down);
    QCOMPARE(focused(), QStringLiteral("组1"));
    QTest::keyClick(f.menu, Qt::Key_Enter);
    QCOMPARE(f.menu->openGroup(), 1);
    QTest::keyClick(f.menu, Qt::Key_Down);
    QTest::keyClick(f.menu, Qt::Key_Down); // stays on the last row
    QCOMPARE(focused(), QStringLiteral("1-0"));
    QTest::keyClick(f.menu, Qt::Key_Return);
    QCOMPARE(chosen.count(), 3);
    QCOMPARE(f.menu->ItemTitle(f.menu->SelectedItem()), std::string("1-0"));

    // Group 0 is folded now: up goes header 1, header 0, and no further.
    QTest::keyClick(f.menu, Qt::Key_Up);
    QTest::keyClick(f.menu, Qt::Key_Up);
    QTest::keyClick(f.menu, Qt::Key_Up);
    QCOMPARE(focused(), QStringLiteral("组0"));

    // Folding the group under the highlight hands the highlight to its header.
    f.menu->setOpenGroup(0);
    QTest::keyClick(f.menu, Qt::Key_Down);
    QCOMPARE(focused(), QStringLiteral("0-0"));
    f.menu->setOpenGroup(1);
    QCOMPARE(focused(), QStringLiteral("组0"));

    QTest::keyClick(f.menu, Qt::Key_Tab);
    QTRY_VERIFY(!f.menu->hasFocus());
    QCOMPARE(chosen.count(), 3);
}

void TestRollDownMenu::accessibleTree() {
    Fixture f;
    f.menu->AddGroup(gbk("新闻联播"), 1, 1);
    f.menu->AddItem(gbk("今日要闻"), 0);
    f.menu->AddItem(gbk("天气"), 0);
    f.menu->AddGroup(gbk("药都论坛"), 2, 2);
    f.menu->AddItem(gbk("访谈"), 1);
    QVERIFY(f.show());
    QSignalSpy chosen(f.menu, &RollDownMenu::itemChosen);

    QAccessibleInterface* iface = accessibleOf(*f.menu);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Tree);
    QCOMPARE(iface->childCount(), 2);
    QAccessibleInterface* news = iface->child(0);
    QAccessibleInterface* forum = iface->child(1);
    QCOMPARE(news->text(QAccessible::Name), QStringLiteral("新闻联播"));
    QCOMPARE(forum->text(QAccessible::Name), QStringLiteral("药都论坛"));
    QCOMPARE(iface->indexOfChild(forum), 1);
    QCOMPARE(forum->parent(), iface);
    QVERIFY(news->state().expanded);
    QVERIFY(forum->state().collapsed);
    QCOMPARE(news->childCount(), 2);
    QCOMPARE(news->child(1)->text(QAccessible::Name), QStringLiteral("天气"));
    QCOMPARE(news->indexOfChild(news->child(1)), 1);
    QCOMPARE(forum->indexOfChild(news->child(1)), -1);
    QCOMPARE(news->child(1)->parent(), news);
    QCOMPARE(news->child(1), news->child(1)); // one interface per row
    QAccessibleInterface* talk = forum->child(0);
    QCOMPARE(talk->text(QAccessible::Name), QStringLiteral("访谈"));
    QVERIFY(talk->state().invisible);

    // Hit testing follows the screen.
    const QPoint weather = f.menu->mapToGlobal(f.menu->itemRect(0, 1).center());
    QCOMPARE(iface->childAt(weather.x(), weather.y()), news);
    QCOMPARE(news->childAt(weather.x(), weather.y()), news->child(1));
    QCOMPARE(news->child(1)->rect().center(), weather);

    // Press on a header folds and unfolds it.
    press(news);
    QCOMPARE(f.menu->openGroup(), -1);
    QVERIFY(news->state().collapsed);
    press(forum);
    QCOMPARE(f.menu->openGroup(), 1);

    // Press on an item chooses it as a click does, showing a folded group first.
    press(news->child(1));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), 0);
    QCOMPARE(chosen.at(0).at(1).toInt(), 1);
    QCOMPARE(f.menu->openGroup(), 0);
    QCOMPARE(f.menu->ItemTitle(f.menu->SelectedItem()), gbk("天气"));
    QVERIFY(news->child(1)->state().selected);
    QVERIFY(!news->child(0)->state().selected);

    // Rows added later are reachable too.
    f.menu->AddItem(gbk("讲座"), 1);
    QCOMPARE(forum->childCount(), 2);
    QCOMPARE(forum->child(1)->text(QAccessible::Name), QStringLiteral("讲座"));
}

void TestRollDownMenu::splitTitleShowsReplacementOnly() {
    RollDownMenu menu;
    menu.resize(152, 440);
    const std::string whole = gbk("新闻联播");
    const std::string tailCut = whole.substr(0, whole.size() - 1);
    menu.AddGroup(gbk("药都时空"), 1, 1);
    menu.AddItem(tailCut, 0);
    menu.AddItem(whole.substr(1), 0, GbkCut::CleanEnd);

    QAccessibleInterface* group = accessibleOf(menu)->child(0);
    QCOMPARE(group->child(0)->text(QAccessible::Name),
             QStringLiteral("新闻联") + QChar(QChar::ReplacementCharacter));
    QCOMPARE(group->child(1)->text(QAccessible::Name),
             QString(QChar(QChar::ReplacementCharacter)) + QStringLiteral("闻联播"));
    // The bytes themselves are kept as given.
    QCOMPARE(menu.ItemTitle(0), tailCut);
    QCOMPARE(menu.ItemTitle(1), whole.substr(1));
    QCOMPARE(menu.model().itemDisplayTitle(1), group->child(1)->text(QAccessible::Name));
    QCOMPARE(menu.model().itemDisplayTitle(2), QString());
}

int main(int argc, char** argv) {
    // The Song face must be picked without help from a Chinese desktop locale.
    qputenv("LANG", "C");
    qputenv("LC_ALL", "C");
    qunsetenv("LANGUAGE");
    QApplication app(argc, argv);
    TestRollDownMenu test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rolldownmenu.moc"
