// The windows with the desktop's text at 16 pt, as a user who needs large text sets it: the
// desktop's platform theme makes that the application's font. (At the size the windows are
// declared for, tst_dialogs and tst_main_window hold every window to its declared size.)
#include "HostedWindow.h"
#include "Modals.h"
#include "catalogue/Gbk.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/RollDownMenu.h"
#include "ui/RollDownMenuFind.h"
#include "ui/WindowDefinition.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void setDesktopTextPoints(int points) {
    QFont font = QApplication::font();
    font.setPointSize(points);
    QApplication::setFont(font);
}

// Every text of the window shows whole: a label's fits its box and stops short of the next
// unit's text on its line, a button's and a radio button's fit theirs, and every unit with text
// lies inside the window.
void checkTextsWhole(QDialog* window) {
    const QRect client = window->rect();
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue;
        const QFontMetrics metrics = label->fontMetrics();
        const int advance = metrics.horizontalAdvance(label->text());
        QVERIFY2(advance <= label->contentsRect().width(),
                 qPrintable(u"%1: %2 > %3"_s.arg(label->text())
                                .arg(advance)
                                .arg(label->contentsRect().width())));
        QVERIFY2(metrics.height() <= label->contentsRect().height(), qPrintable(label->text()));
        QVERIFY2(client.contains(label->geometry()), qPrintable(label->text()));
        const int textRight = label->geometry().left() + label->contentsRect().left() + advance;
        for (const QLabel* other : window->findChildren<QLabel*>()) {
            const QRect b = other->geometry();
            if (other != label && !other->text().isEmpty() && b.left() > label->x() &&
                b.top() <= label->geometry().bottom() && b.bottom() >= label->y())
                QVERIFY2(textRight <= b.left(),
                         qPrintable(label->text() + u" runs into "_s + other->text()));
        }
    }
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        const int need = qobject_cast<const QRadioButton*>(button)
                             ? button->sizeHint().width()
                             : button->fontMetrics().horizontalAdvance(button->text());
        QVERIFY2(need <= button->width(), qPrintable(button->text()));
        QVERIFY2(button->fontMetrics().height() <= button->height(), qPrintable(button->text()));
        QVERIFY2(client.contains(button->geometry()), qPrintable(button->text()));
    }
    for (const QComboBox* box : window->findChildren<QComboBox*>()) {
        QVERIFY(box->sizeHint().height() <= box->height());
        QVERIFY(client.contains(box->geometry()));
    }
}

} // namespace

class TestLargeFonts : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { setDesktopTextPoints(16); }

    void openUrlGrowsToShowItsTexts();
    void settingsGrowToShowTheirTexts();
    void aboutGrowsToShowItsTexts();
    void menuTextFollowsTheDesktop();
};

void TestLargeFonts::openUrlGrowsToShowItsTexts() {
    bool seen = false;
    whenModal<QDialog>([&](QDialog* window) {
        // Declared 380 × 125; the whole window grows, in proportion.
        QVERIFY2(window->width() > 380 && window->height() > 125,
                 qPrintable(u"%1x%2"_s.arg(window->width()).arg(window->height())));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(ui::unit<QLabel>(window, u"标签3"_s)->text(), u"URL地址："_s);
        checkTextsWhole(window);
        saveShot(*window, u"large-font-open-url"_s);
        seen = true;
        window->reject();
    });
    openUrlDialog([](const QString&) {});
    QVERIFY(seen);
}

void TestLargeFonts::settingsGrowToShowTheirTexts() {
    QTemporaryDir directory;
    bool seen = false;
    whenModal<QDialog>([&](QDialog* window) {
        QVERIFY(window->width() > 372 && window->height() > 223);
        checkTextsWhole(window);
        // The radio buttons stay below the tab's caption.
        auto* tabs = ui::unit<QTabWidget>(window, u"选择夹1"_s);
        QVERIFY(tabs->tabBar()->geometry().bottom() <
                ui::unit<QRadioButton>(window, u"单选框1"_s)->geometry().top());
        saveShot(*window, u"large-font-settings"_s);
        seen = true;
        window->reject();
    });
    openSettingsWindow(directory.path());
    QVERIFY(seen);
}

void TestLargeFonts::aboutGrowsToShowItsTexts() {
    bool seen = false;
    whenModal<QDialog>([&](QDialog* window) {
        QVERIFY(window->width() > 372 && window->height() > 163);
        checkTextsWhole(window);
        // The title's declared 16 px grew with the desktop's text; the address shows whole.
        QVERIFY(QFontInfo(ui::unit<QLabel>(window, u"标签1"_s)->font()).pixelSize() > 16);
        auto* link = ui::unit<QLabel>(window, u"超级链接框1"_s);
        QCOMPARE(link->text(), QStringLiteral(VELMORA_CONTACT_ADDRESS));
        QVERIFY(link->fontMetrics().horizontalAdvance(link->text()) <= link->width());
        // The picture grew with its box.
        auto* picture = ui::unit<QLabel>(window, u"图片框1"_s);
        QVERIFY(picture->pixmap().width() > 176);
        QVERIFY(picture->geometry().contains(QRect(QPoint(0, 0), picture->pixmap().size())));
        saveShot(*window, u"large-font-about"_s);
        seen = true;
        window->accept();
    });
    openAboutWindow();
    QVERIFY(seen);
}

void TestLargeFonts::menuTextFollowsTheDesktop() {
    QWidget window;
    auto* menu = new RollDownMenu(&window);
    auto* find = new RollDownMenuFind(*menu);
    menu->setGeometry(0, 0, 152, 440);
    window.resize(152, 440);
    menu->AddGroup(toGbk(u"新闻联播"_s), 1, 1);
    menu->AddItem(toGbk(u"新闻联播0112期"_s), 0);
    menu->AddItem(toGbk(u"新闻联播0111期"_s), 0);
    menu->AddGroup(toGbk(u"药都论坛"_s), 2, 1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const int desktop = QFontInfo(QApplication::font()).pixelSize();
    QVERIFY2(desktop >= 21, qPrintable(QString::number(desktop))); // 16 pt at 96 dpi
    QCOMPARE(QFontInfo(menu->font()).pixelSize(), desktop);
    QVERIFY(menu->headerRect(0).height() > 24);
    QVERIFY(menu->itemRect(0, 0).height() > 20);
    QVERIFY(menu->itemRect(0, 0).height() >= QFontMetrics(menu->font()).height());
    saveShot(window, u"large-font-menu"_s);
    find->open(u"01"_s);
    QCOMPARE(QFontInfo(find->matches().font()).pixelSize(), desktop);
    saveShot(window, u"large-font-menu-search"_s);
    find->close();

    // Set back on the desktop while the menu shows: the declared 12 pixels and row heights.
    setDesktopTextPoints(9);
    QCOMPARE(QFontInfo(menu->font()).pixelSize(), 12);
    QCOMPARE(menu->headerRect(0).height(), 24);
    QCOMPARE(menu->itemRect(0, 0).height(), 20);
    find->open(u"01"_s);
    QCOMPARE(QFontInfo(find->matches().font()).pixelSize(), 12);
}

int main(int argc, char* argv[]) {
    TestLargeFonts test;
    return runHostedTest(test, argc, argv);
}
#include "tst_large_fonts.moc"
