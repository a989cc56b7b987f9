// The find field in the real main window: the keys the window's menus declare reach the menus
// even while the field has the focus, and the field keeps the editing keys they do not declare.
#include "HostedWindow.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenuFind.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// While it lives, closes each modal window that opens, noting its title and the find field's
// text at that moment.
class ModalWatch {
  public:
    explicit ModalWatch(const QLineEdit& field) {
        QObject::connect(&timer_, &QTimer::timeout, [this, &field] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            seen << modal->windowTitle() + u" / "_s + field.text();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        });
        timer_.start(20);
    }
    QStringList seen;

  private:
    QTimer timer_;
};

} // namespace

class TestFindKeys : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void theMenusKeysOpenTheirWindowsAndLeaveTheText();
    void theFieldKeepsItsOwnEditingKeys();

  private:
    std::unique_ptr<HostedWindow> hosted_;
    MainWindow* window_ = nullptr;
    QLineEdit* field_ = nullptr;
};

void TestFindKeys::initTestCase() {
    hosted_ = std::make_unique<HostedWindow>();
    QVERIFY(hosted_->ready());
    window_ = &hosted_->window();
    field_ = &window_->find().field();
}

void TestFindKeys::cleanupTestCase() {
    hosted_.reset();
}

// A shortcut needs the active window; the field opens with the focus, as Ctrl+F leaves it.
void TestFindKeys::init() {
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    window_->find().close();
    window_->find().open();
    QTRY_VERIFY(field_->hasFocus());
}

void TestFindKeys::theMenusKeysOpenTheirWindowsAndLeaveTheText() {
    QTest::keyClicks(field_, u"0112"_s);
    QCOMPARE(field_->text(), u"0112"_s);
    ModalWatch watch(*field_);
    // A line edit's own Ctrl+U would clear the field.
    QTest::keyClick(field_, Qt::Key_U, Qt::ControlModifier);
    QTRY_COMPARE(watch.seen, QStringList{u"打开 URL / 0112"_s});
    QCOMPARE(field_->text(), u"0112"_s);

    // Without a window manager the closed dialog hands the activation back at its own pace.
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    field_->setFocus();

    // The file dialog's title is Qt's own; that it is one is what counts.
    QTest::keyClick(field_, Qt::Key_O, Qt::ControlModifier);
    QTRY_COMPARE(watch.seen.size(), 2);
    QVERIFY2(watch.seen.at(1).endsWith(u" / 0112"_s), qPrintable(watch.seen.at(1)));
    QCOMPARE(field_->text(), u"0112"_s);
    QVERIFY(window_->find().isOpen());
}

void TestFindKeys::theFieldKeepsItsOwnEditingKeys() {
    QTest::keyClicks(field_, u"news 0112"_s);
    QTest::keyClick(field_, Qt::Key_Home);
    QCOMPARE(field_->cursorPosition(), 0);
    QTest::keyClick(field_, Qt::Key_End);
    QTest::keyClick(field_, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(field_->text(), u"news "_s);
    QTest::keyClick(field_, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(field_->selectedText(), u"news "_s);
    // Plain letters are the field's even where the same letter with Ctrl is a menu's.
    QTest::keyClicks(field_, u"uo"_s);
    QCOMPARE(field_->text(), u"uo"_s);
}

int main(int argc, char* argv[]) {
    TestFindKeys test;
    return runHostedTest(test, argc, argv);
}
#include "tst_find_keys.moc"
