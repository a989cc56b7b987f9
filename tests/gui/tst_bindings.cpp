// The windows' binding tables: a unit or an event that a table names but the window lacks, and a
// menu item that does nothing, are reported by the builder, and the real tables have none.
#include "playback/PlaybackController.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"
#include "ui/WindowDefinition.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

class TestBindings : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void dialogTablesResolve();
    void mainWindowMenusResolve();
    void unitsThatDoNotResolveAreReported();
    void menuItemsThatDoNothingAreReported();
};

// Names what did not resolve when something did not.
#define VERIFY_NONE(list)                                                                          \
    do {                                                                                           \
        const QStringList found = (list);                                                          \
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral(", "))));                   \
    } while (false)

void TestBindings::dialogTablesResolve() {
    VERIFY_NONE(unresolvedDialogBindings());
}

void TestBindings::mainWindowMenusResolve() {
    PlaybackController playback;
    MainWindow window({}, playback);
    VERIFY_NONE(window.idleMenuItems());
    // The three items the start-up greys are handed out, not handled, and are the file menu's.
    const auto* file = window.findChild<QMenu*>(QStringLiteral("文件(&F)"));
    QVERIFY(file);
    QStringList handedOut;
    for (QAction* action : window.transportMenuActions()) {
        QVERIFY(action);
        QVERIFY(file->actions().contains(action));
        handedOut << action->text();
    }
    QCOMPARE(handedOut,
             (QStringList{QStringLiteral("播放"), QStringLiteral("暂停"), QStringLiteral("停止")}));
}

void TestBindings::unitsThatDoNotResolveAreReported() {
    QWidget client;
    const ui::Units units = ui::buildUnits(
        &client, {{.name = QStringLiteral("按钮1"), .kind = ui::UnitKind::Button},
                  {.name = QStringLiteral("标签1"), .kind = ui::UnitKind::Label},
                  {.name = QStringLiteral("组合框1"), .kind = ui::UnitKind::EditableComboBox}});
    int clicks = 0;
    const auto count = [&clicks] { ++clicks; };
    // A misspelt unit, and a unit that has no click, next to two that resolve.
    const QStringList unresolved =
        ui::bindEvents(units, {{QStringLiteral("按钮1"), ui::UnitEvent::Clicked, count},
                               {QStringLiteral("按纽1"), ui::UnitEvent::Clicked, count},
                               {QStringLiteral("组合框1"), ui::UnitEvent::Clicked, count},
                               {QStringLiteral("标签1"), ui::UnitEvent::Clicked, count}});
    QCOMPARE(unresolved, (QStringList{QStringLiteral("按纽1"), QStringLiteral("组合框1")}));
    // What did resolve is bound.
    qobject_cast<QPushButton*>(units.value(QStringLiteral("按钮1")))->click();
    QCOMPARE(clicks, 1);
}

void TestBindings::menuItemsThatDoNothingAreReported() {
    QMenuBar bar;
    QAction* kept = nullptr;
    int triggered = 0;
    const QStringList idle =
        ui::addMenus(&bar,
                     {{QStringLiteral("文件(&F)"),
                       {{QStringLiteral("打开(&O)"), {}, [&triggered] { ++triggered; }},
                        {},
                        {.caption = QStringLiteral("播放"), .keep = &kept},
                        {QStringLiteral("退出"), QKeySequence(Qt::CTRL | Qt::Key_Q)}}},
                      {QStringLiteral("帮助(&H)"), {{QStringLiteral("关于(&A)")}}}},
                     &bar);
    QCOMPARE(idle, (QStringList{QStringLiteral("退出"), QStringLiteral("关于(&A)")}));
    QVERIFY(kept);
    QCOMPARE(kept->text(), QStringLiteral("播放"));
    auto* open = bar.findChild<QAction*>(QStringLiteral("打开(&O)"));
    QVERIFY(open);
    open->trigger();
    QCOMPARE(triggered, 1);
    // Separators stay in their places.
    const QList<QAction*> file = bar.findChild<QMenu*>(QStringLiteral("文件(&F)"))->actions();
    QCOMPARE(file.size(), 4);
    QVERIFY(file[1]->isSeparator());
}

QTEST_MAIN(TestBindings)
#include "tst_bindings.moc"
