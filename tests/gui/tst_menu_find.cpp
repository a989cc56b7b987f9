// Finding programmes in the roll-down menu and the library's groups after the station's.
#include "HostedWindow.h"
#include "catalogue/Gbk.h"
#include "ui/RollDownMenu.h"
#include "ui/RollDownMenuFind.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// As an input method delivers text: one key event per character, whatever the script. (QTest's
// key clicks know Latin-1 only.)
void type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        const int key =
            c.unicode() < 0x80 ? int(QChar(c).toUpper().unicode()) : int(Qt::Key_unknown);
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &up);
    }
}

struct Fixture {
    QWidget window;
    RollDownMenu* menu = new RollDownMenu(&window);
    RollDownMenuFind* find = new RollDownMenuFind(*menu);

    Fixture() {
        menu->setGeometry(0, 0, 152, 440);
        window.resize(152, 440);
        const std::vector<std::pair<QString, QStringList>> groups{
            {u"新闻联播"_s, {u"新闻联播20240112"_s, u"新闻联播20240113"_s}},
            {u"药都时空"_s, {u"药都时空０１１２"_s, u"CCTV 专访"_s}},
            {u"走进农家"_s, {u"春耕0112特别节目"_s}},
        };
        for (size_t g = 0; g < groups.size(); ++g) {
            menu->AddGroup(toGbk(groups[g].first), int(g) + 1, 1);
            for (const QString& title : groups[g].second)
                menu->AddItem(toGbk(title), int(g));
        }
    }
    bool show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowExposed(&window) && QTest::qWaitForWindowActive(&window);
    }
    QStringList shownTitles() const {
        QStringList titles;
        for (int item : find->shownItems())
            titles << menu->model().itemDisplayTitle(item);
        return titles;
    }
    // The rows the list shows, headers included, as the user reads them.
    QStringList shownRows() const {
        QStringList rows;
        for (int r = 0; r < find->matches().count(); ++r) {
            if (!find->matches().isRowHidden(r))
                rows << find->matches().item(r)->text();
        }
        return rows;
    }
};

} // namespace

class TestMenuFind : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void typingInTheMenuFindsWidthAndCaseAlike();
    void noMatchSaysSo();
    void arrowsAndEnterChooseAMatch();
    void escapeRestoresTheFolds();
    void theFieldAndMatchesAreNamedForAssistiveTechnology();
    void libraryGroupsFollowTheStationsAndMissingOnesCannotBeChosen();
};

void TestMenuFind::typingInTheMenuFindsWidthAndCaseAlike() {
    Fixture f;
    QVERIFY(f.show());
    f.menu->setFocus();
    // Full-width digits typed find the half-width ones and the full-width ones alike.
    type(f.menu, u"０１１２"_s);
    QVERIFY(f.find->isOpen());
    QCOMPARE(f.find->field().text(), u"０１１２"_s);
    QCOMPARE(f.shownRows(),
             (QStringList{u"新闻联播"_s, u"新闻联播20240112"_s, u"药都时空"_s,
                          u"药都时空０１１２"_s, u"走进农家"_s, u"春耕0112特别节目"_s}));
    // Inside the menu's width, at its bottom.
    const QRect field = f.find->field().geometry();
    QVERIFY(f.menu->rect().contains(field));
    QCOMPARE(field.bottom(), f.menu->height() - 2);
    saveShot(f.window, u"issue11-search"_s);

    f.find->field().clear();
    type(&f.find->field(), u"cctv"_s);
    QCOMPARE(f.shownRows(), (QStringList{u"药都时空"_s, u"CCTV 专访"_s}));
    // Emptied, the field shows the folding menu again.
    f.find->field().clear();
    QVERIFY(!f.find->matches().isVisible());
    QVERIFY(f.find->isOpen());
}

void TestMenuFind::noMatchSaysSo() {
    Fixture f;
    QVERIFY(f.show());
    f.find->open(u"天气"_s);
    QCOMPARE(f.shownRows(), QStringList{u"没有找到节目"_s});
    QVERIFY(f.shownTitles().isEmpty());
    QSignalSpy chosen(f.menu, &RollDownMenu::itemChosen);
    QTest::keyClick(&f.find->field(), Qt::Key_Return);
    QCOMPARE(chosen.count(), 0);
}

void TestMenuFind::arrowsAndEnterChooseAMatch() {
    Fixture f;
    QVERIFY(f.show());
    QSignalSpy chosen(f.menu, &RollDownMenu::itemChosen);
    f.menu->setFocus();
    type(f.menu, u"0112"_s);
    // The first match is current; Down skips the header between to the next match.
    QCOMPARE(f.find->matches().currentItem()->text(), u"新闻联播20240112"_s);
    QTest::keyClick(&f.find->field(), Qt::Key_Down);
    QCOMPARE(f.find->matches().currentItem()->text(), u"药都时空０１１２"_s);
    QTest::keyClick(&f.find->field(), Qt::Key_Down);
    QTest::keyClick(&f.find->field(), Qt::Key_Down); // past the last: stays
    QCOMPARE(f.find->matches().currentItem()->text(), u"春耕0112特别节目"_s);
    QTest::keyClick(&f.find->field(), Qt::Key_Up);
    QTest::keyClick(&f.find->field(), Qt::Key_Return);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0), (QVariantList{1, 0}));
    QCOMPARE(f.menu->ItemTitle(f.menu->SelectedItem()), toGbk(u"药都时空０１１２"_s));
    // A click on a match chooses as well.
    QListWidget& list = f.find->matches();
    const QRect row =
        list.visualItemRect(list.findItems(u"新闻联播20240112"_s, Qt::MatchExactly)[0]);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(chosen.count(), 2);
    QCOMPARE(chosen.at(1), (QVariantList{0, 0}));
}

void TestMenuFind::escapeRestoresTheFolds() {
    Fixture f;
    QVERIFY(f.show());
    f.menu->setOpenGroup(2);
    f.menu->setFocus();
    type(f.menu, u"新闻"_s);
    QTest::keyClick(&f.find->field(), Qt::Key_Return); // chooses in group 0, which opens it
    QCOMPARE(f.menu->openGroup(), 0);
    QTest::keyClick(&f.find->field(), Qt::Key_Escape);
    QVERIFY(!f.find->isOpen());
    QVERIFY(f.find->field().text().isEmpty());
    QCOMPARE(f.menu->openGroup(), 2);
    QCOMPARE(QApplication::focusWidget(), f.menu);
    QCOMPARE(f.menu->bottomReserve(), 0);
    // Ctrl+F's way in: an empty field, the menu's folds unchanged until text comes.
    f.find->open();
    QVERIFY(f.find->field().hasFocus());
    QVERIFY(!f.find->matches().isVisible());
    QCOMPARE(f.menu->openGroup(), 2);
}

void TestMenuFind::theFieldAndMatchesAreNamedForAssistiveTechnology() {
    Fixture f;
    QVERIFY(f.show());
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(f.menu);
    QVERIFY(menu);
    QCOMPARE(menu->text(QAccessible::Name), u"节目菜单"_s);
    QCOMPARE(menu->childCount(), 3); // the three headers; the field and the list do not show
    f.find->open(u"0113"_s);
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(&f.find->field());
    QVERIFY(field);
    QCOMPARE(field->text(QAccessible::Name), u"查找节目"_s);
    QCOMPARE(field->role(), QAccessible::EditableText);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&f.find->matches());
    QVERIFY(list);
    QCOMPARE(list->text(QAccessible::Name), u"找到的节目"_s);
    // Only the rows that show are the list's: the match under its group's name.
    QCOMPARE(list->childCount(), 2);
    QCOMPARE(list->child(0)->text(QAccessible::Name), u"新闻联播"_s);
    QCOMPARE(list->child(1)->text(QAccessible::Name), u"新闻联播20240113"_s);
    QCOMPARE(list->child(1)->text(QAccessible::Description), u"新闻联播"_s);

    // The menu's children: its headers, now under the list, then the field, the list and what
    // the search found.
    QCOMPARE(menu->childCount(), 6);
    for (int g = 0; g < 3; ++g)
        QVERIFY(menu->child(g)->state().offscreen);
    QCOMPARE(menu->child(3), field);
    QCOMPARE(menu->child(4), list);
    QCOMPARE(menu->indexOfChild(list), 4);
    QAccessibleInterface* found = menu->child(5);
    QCOMPARE(found->role(), QAccessible::Notification);
    QCOMPARE(found->text(QAccessible::Name), u"找到 1 个节目"_s);
    QCOMPARE(menu->indexOfChild(found), 5);
    QCOMPARE(found->parent(), menu);
    const QPoint onList = f.find->matches().mapToGlobal(QPoint(20, 5));
    QCOMPARE(menu->childAt(onList.x(), onList.y()), list);
    const QPoint onField = f.find->field().mapToGlobal(f.find->field().rect().center());
    QCOMPARE(menu->childAt(onField.x(), onField.y()), field);

    // (The list's rows as they change are read over the accessibility bus, in
    // tests/a11y: Qt's list interface follows its rows only while a screen reader runs.)
    f.find->field().setText(u"天气"_s);
    QCOMPARE(found->text(QAccessible::Name), u"没有找到节目"_s);
    QCOMPARE(list->childCount(), 1);

    f.find->close();
    QCOMPARE(menu->childCount(), 3);
    QVERIFY(!menu->child(0)->state().offscreen);
    const QPoint onHeader = f.menu->mapToGlobal(f.menu->headerRect(1).center());
    QCOMPARE(menu->childAt(onHeader.x(), onHeader.y()), menu->child(1));
}

void TestMenuFind::libraryGroupsFollowTheStationsAndMissingOnesCannotBeChosen() {
    Fixture f;
    QVERIFY(f.show());
    RollDownMenuModel& model = f.menu->model();
    model.setLibraryGroups({{u"我的收藏"_s, {{u"新闻联播20240113"_s, 1}, {u"旧节目"_s, -1}}},
                            {u"最近观看"_s, {{u"CCTV 专访"_s, 3}}}});
    QCOMPARE(model.groupCount(), 5);
    QCOMPARE(model.stationGroupCount(), 3);
    QCOMPARE(model.groupDisplayTitle(3), u"我的收藏"_s);
    QCOMPARE(model.groupDisplayTitle(4), u"最近观看"_s);
    QCOMPARE(model.itemDisplayTitle(model.itemIndex(3, 1)), u"旧节目"_s);
    QVERIFY(!model.isChoosable(model.itemIndex(3, 1)));
    saveShot(f.window, u"issue11-groups-folded"_s);

    QSignalSpy chosen(f.menu, &RollDownMenu::itemChosen);
    f.menu->setOpenGroup(3);
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, f.menu->itemRect(3, 1).center());
    QCOMPARE(chosen.count(), 0);
    QTest::mouseClick(f.menu, Qt::LeftButton, {}, f.menu->itemRect(3, 0).center());
    QCOMPARE(chosen.count(), 1);
    // The favourite plays as the station's item it stands for.
    QCOMPARE(f.menu->ItemTitle(f.menu->SelectedItem()), toGbk(u"新闻联播20240113"_s));
    saveShot(f.window, u"issue11-groups"_s);

    // Replaced groups keep the choice on the station's item, and the menu stays usable.
    model.setLibraryGroups({});
    QCOMPARE(model.groupCount(), 3);
    QCOMPARE(f.menu->SelectedItem(), 1);
    QCOMPARE(f.menu->openGroup(), -1);
    f.menu->setFocus();
    QTest::keyClick(f.menu, Qt::Key_Down);
    QTest::keyClick(f.menu, Qt::Key_Return);
    QVERIFY(f.menu->openGroup() >= 0);

    // A station group arriving late still goes before the library's.
    model.setLibraryGroups({{u"我的收藏"_s, {{u"x"_s, 0}}}});
    f.menu->AddGroup(toGbk(u"谯城报道"_s), 4, 1);
    QCOMPARE(model.groupCount(), 4);
    QCOMPARE(model.groupDisplayTitle(3), u"谯城报道"_s);
}

int main(int argc, char* argv[]) {
    TestMenuFind test;
    return runHostedTest(test, argc, argv);
}
#include "tst_menu_find.moc"
