#include "Modals.h"
#include "settings/Links.h"
#include "ui/Dialogs.h"
#include "ui/FitText.h"
#include "ui/WindowDefinition.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

bool canCreateFileIn(const QString& directory) {
    QFile probe(directory + u"/.probe"_s);
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.remove();
    return true;
}

// A folder that refuses new files; for root, whom permissions do not stop, the immutable flag.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(QString path) : path_(std::move(path)) {
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                         QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        if (canCreateFileIn(path_))
            immutable_ = QProcess::execute(u"chattr"_s, {u"+i"_s, path_}) == 0;
    }
    ~ReadOnlyFolder() {
        if (immutable_)
            QProcess::execute(u"chattr"_s, {u"-i"_s, path_});
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool effective() const { return !canCreateFileIn(path_); }

  private:
    QString path_;
    bool immutable_ = false;
};

// Keys for ASCII, an input method's commit for the rest, as a user would enter it.
void typeInto(QComboBox* box, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(box, c.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(c);
            QApplication::sendEvent(box->lineEdit(), &commit);
        }
    }
}

// Opens the SettingsWindow, reports which button its creation checked, and leaves it with `exit`.
struct SettingsVisit {
    bool automatic = false;
    bool manual = false;
};

// The program directory the settings window is opened for; each test has a fresh one.
QString settingsDirectory;

SettingsVisit visitSettings(const std::function<void(QDialog*)>& exit) {
    SettingsVisit seen;
    whenModal<QDialog>([&](QDialog* window) {
        auto* automatic = ui::unit<QRadioButton>(window, u"单选框1"_s);
        auto* manual = ui::unit<QRadioButton>(window, u"单选框2"_s);
        QVERIFY(automatic && manual);
        seen = {automatic->isChecked(), manual->isChecked()};
        exit(window);
    });
    openSettingsWindow(settingsDirectory);
    return seen;
}

void choose(QDialog* window, const QString& radio, const QString& button) {
    QTest::mouseClick(ui::unit<QRadioButton>(window, radio), Qt::LeftButton);
    QTest::mouseClick(ui::unit<QPushButton>(window, button), Qt::LeftButton);
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void openUrlRefusesAnEmptyAddressEveryTime();
    void openUrlHandsOverAnyTextUnchanged_data();
    void openUrlHandsOverAnyTextUnchanged();
    void openUrlStartsEmptyEachTime();

    void openFileOffersTheFiltersAndLeavesThePlayerOnCancel();

    void settingsShowStoredValue_data();
    void settingsShowStoredValue();
    void settingsStoreOnlyOnOk();
    void settingsKeepUnrelatedContent();
    void settingsIgnoreAFailedWrite();
    void settingsUseTheProgramDirectory();

    void aboutShowsItsTextsAndEnterCloses();
    void textTooLongForItsBoxIsCutWithItsWholeAsTip();
    void aboutLinkMailsTheAuthor();

  private:
    std::optional<QTemporaryDir> programDir_;
    QString iniPath() const { return programDir_->filePath(u"index.ini"_s); }
};

void TestDialogs::init() {
    programDir_.emplace();
    QVERIFY(programDir_->isValid());
    settingsDirectory = programDir_->path();
}

void TestDialogs::cleanup() {
    closeAllModals();
    setDesktopOpener({});
}

void TestDialogs::openUrlRefusesAnEmptyAddressEveryTime() {
    QStringList written;
    int messages = 0;
    whenModal<QDialog>([&](QDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), u"打开 URL"_s);
        auto* open = ui::unit<QPushButton>(dialog, u"按钮2"_s);
        auto* address = ui::unit<QComboBox>(dialog, u"组合框1"_s);
        QVERIFY(open && address);
        for (int attempt = 0; attempt < 3; ++attempt) {
            whenModal<QMessageBox>(
                [&](QMessageBox* box) {
                    QCOMPARE(box->text(), u"  URL地址不得为空！  "_s);
                    QCOMPARE(box->windowTitle(), u"输入错误！"_s);
                    QCOMPARE(box->icon(), QMessageBox::NoIcon);
                    QCOMPARE(box->buttons().size(), 1);
                    ++messages;
                    box->button(QMessageBox::Ok)->click();
                },
                dialog);
            if (attempt == 2) // Enter in the field goes through the same check
                QTest::keyClick(address, Qt::Key_Return);
            else
                QTest::mouseClick(open, Qt::LeftButton);
            QCOMPARE(messages, attempt + 1);
            QVERIFY(dialog->isVisible());
            QCOMPARE(address->currentText(), QString());
        }
        QTest::mouseClick(ui::unit<QPushButton>(dialog, u"按钮3"_s), Qt::LeftButton);
    });
    openUrlDialog([&](const QString& url) { written << url; });
    QCOMPARE(messages, 3);
    QCOMPARE(written, QStringList());
}

void TestDialogs::openUrlHandsOverAnyTextUnchanged_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("spaces only") << u"   "_s << false;
    QTest::newRow("blanks around an address") << u" mms://host/sp/a b.wmv "_s << true;
    QTest::newRow("local path") << u"/home/user/my clips/新闻.avi"_s << false;
    QTest::newRow("any scheme") << u"foo:bar%zz"_s << false;
    QTest::newRow("no scheme") << u"www.example.com/x.wmv"_s << true;
}

void TestDialogs::openUrlHandsOverAnyTextUnchanged() {
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    QStringList written;
    whenModal<QDialog>([&](QDialog* dialog) {
        auto* address = ui::unit<QComboBox>(dialog, u"组合框1"_s);
        QVERIFY(address);
        typeInto(address, typed);
        if (byEnter)
            QTest::keyClick(address, Qt::Key_Return);
        else
            QTest::mouseClick(ui::unit<QPushButton>(dialog, u"按钮2"_s), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    });
    openUrlDialog([&](const QString& url) { written << url; });
    QCOMPARE(written, QStringList{typed});
}

void TestDialogs::openUrlStartsEmptyEachTime() {
    QStringList written;
    for (int opening = 0; opening < 2; ++opening) {
        whenModal<QDialog>([&](QDialog* dialog) {
            auto* address = ui::unit<QComboBox>(dialog, u"组合框1"_s);
            QVERIFY(address);
            QCOMPARE(address->currentText(), QString());
            QCOMPARE(address->count(), 0);
            typeInto(address, u"mms://host/sp/typed.wmv"_s);
            QTest::mouseClick(ui::unit<QPushButton>(dialog, u"按钮3"_s), Qt::LeftButton);
        });
        openUrlDialog([&](const QString& url) { written << url; });
    }
    QCOMPARE(written, QStringList());
}

void TestDialogs::openFileOffersTheFiltersAndLeavesThePlayerOnCancel() {
    QStringList written;
    const QStringList filters{
        u"可打开的所有文件 (*.mp3 *.wav *.aiff *.au *.avi *.mpeg *.wma)"_s,
        u"音频文件 (*.mp3 *.wav *.aiff *.au)"_s, u"视频文件 (*.avi *.mpeg *.wma)"_s,
        u"所有媒体文件 (*.mp3 *.wav *.aiff *.au *.avi *.mpeg *.wma *.wmv *.asf *.mp4 *.m4v *.mkv "
        u"*.mka *.ts *.m2ts *.mts *.flv *.webm *.ogg *.ogv *.oga *.opus *.m4a *.aac *.ac3 *.flac "
        u"*.mp2 *.mpg *.mov *.3gp *.vob *.rm *.rmvb *.amr *.ape *.wv *.divx)"_s,
        u"所有文件 (*)"_s};
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        QCOMPARE(dialog->nameFilters(), filters);
        QCOMPARE(dialog->selectedNameFilter(), filters.first());
        dialog->reject();
    });
    openFileDialog(nullptr, [&](const QString& url) { written << url; });
    QCOMPARE(written, QStringList());

    // The added filters find what the declared ones hide, in any case.
    writeBytes(programDir_->filePath(u"concert.MKV"_s), "\x1a\x45\xdf\xa3");
    writeBytes(programDir_->filePath(u"notes.txt"_s), "text");
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(programDir_->path());
        auto* view = dialog->findChild<QAbstractItemView*>(u"listView"_s);
        QVERIFY(view);
        // The files that can be chosen: shown, and not greyed out.
        const auto shown = [&](const QString& filter) {
            dialog->selectNameFilter(filter);
            QStringList names;
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row) {
                const QModelIndex index = view->model()->index(row, 0, root);
                if (index.flags() & Qt::ItemIsEnabled)
                    names << index.data().toString();
            }
            return names;
        };
        QTRY_COMPARE(shown(filters[3]), QStringList{u"concert.MKV"_s});
        QTRY_COMPARE(shown(filters[0]), QStringList());
        QTRY_COMPARE(shown(filters[4]), (QStringList{u"concert.MKV"_s, u"notes.txt"_s}));
        dialog->reject();
    });
    openFileDialog(nullptr, [&](const QString& url) { written << url; });
    QCOMPARE(written, QStringList());

    const QString chosen = programDir_->filePath(u"my clips/片段 1.MP3"_s);
    QVERIFY(QDir().mkpath(QFileInfo(chosen).path()));
    writeBytes(chosen, "ID3");
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        // As typed into the name field; selectFile() leaves a focused field alone.
        auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
        QVERIFY(name);
        name->setText(chosen);
        static_cast<QDialog*>(dialog)->accept();
        QVERIFY(!dialog->isVisible());
    });
    openFileDialog(nullptr, [&](const QString& url) { written << url; });
    QCOMPARE(written, QStringList{chosen});
}

void TestDialogs::settingsShowStoredValue_data() {
    QTest::addColumn<QByteArray>("stored"); // "<none>": no file
    QTest::addColumn<bool>("automatic");
    QTest::newRow("no file") << "<none>"_ba << false;
    QTest::newRow("1") << "[shou]\r\ngengxing=1\r\n"_ba << true;
    QTest::newRow("0") << "[shou]\r\ngengxing=0\r\n"_ba << false;
    QTest::newRow("other text") << "[shou]\r\ngengxing=yes\r\n"_ba << false;
    QTest::newRow("empty value") << "[shou]\r\ngengxing=\r\n"_ba << false;
    QTest::newRow("missing key") << "[shou]\r\nother=1\r\n"_ba << false;
    QTest::newRow("missing section") << "[other]\r\ngengxing=1\r\n"_ba << false;
    QTest::newRow("malformed") << "\x01\xff[[=\r\n=="_ba << false;
    // As the profile functions read it: names without case, blanks around the value dropped.
    QTest::newRow("other case, blanks") << "[Shou]\ngengXing = 1 \n"_ba << true;
}

// Whatever the file holds, exactly one button is checked, and 取消 leaves the file as it was.
void TestDialogs::settingsShowStoredValue() {
    QFETCH(QByteArray, stored);
    QFETCH(bool, automatic);
    if (stored != "<none>")
        writeBytes(iniPath(), stored);
    const SettingsVisit seen = visitSettings([](QDialog* window) {
        QCOMPARE(window->windowTitle(), u"设置"_s);
        QTest::mouseClick(ui::unit<QPushButton>(window, u"按钮2"_s), Qt::LeftButton);
    });
    QCOMPARE(seen.automatic, automatic);
    QCOMPARE(seen.manual, !automatic);
    QCOMPARE(fileBytes(iniPath()), stored);
}

void TestDialogs::settingsStoreOnlyOnOk() {
    visitSettings([](QDialog* w) { choose(w, u"单选框1"_s, u"按钮1"_s); });
    QCOMPARE(fileBytes(iniPath()), "[shou]\r\ngengxing=1\r\n"_ba);
    QVERIFY(visitSettings([](QDialog* w) { w->close(); }).automatic);

    // An unsaved click, by 取消 or by the frame, is gone at the next opening.
    QVERIFY(visitSettings([](QDialog* w) { choose(w, u"单选框2"_s, u"按钮2"_s); }).automatic);
    QVERIFY(visitSettings([](QDialog* w) {
                QTest::mouseClick(ui::unit<QRadioButton>(w, u"单选框2"_s), Qt::LeftButton);
                w->close();
            }).automatic);
    QCOMPARE(fileBytes(iniPath()), "[shou]\r\ngengxing=1\r\n"_ba);

    visitSettings([](QDialog* w) { choose(w, u"单选框2"_s, u"按钮1"_s); });
    QCOMPARE(fileBytes(iniPath()), "[shou]\r\ngengxing=0\r\n"_ba);
    QVERIFY(visitSettings([](QDialog* w) { w->close(); }).manual);
}

void TestDialogs::settingsKeepUnrelatedContent() {
    const QByteArray before = "; written by hand\r\n\r\n[window]\r\nx = 10\r\n\r\n"
                              "[SHOU]\r\n  gengxing = 0 ; manual\r\nlast=2020\r\n\r\n"
                              "[proxy]\nhost=\xB4\xFA\xC0\xED\n"_ba;
    const QByteArray after = "; written by hand\r\n\r\n[window]\r\nx = 10\r\n\r\n"
                             "[SHOU]\r\n  gengxing = 1\r\nlast=2020\r\n\r\n"
                             "[proxy]\nhost=\xB4\xFA\xC0\xED\n"_ba;
    writeBytes(iniPath(), before);
    visitSettings([](QDialog* w) { choose(w, u"单选框1"_s, u"按钮1"_s); });
    QCOMPARE(fileBytes(iniPath()), after);
}

void TestDialogs::settingsIgnoreAFailedWrite() {
    writeBytes(iniPath(), "[shou]\r\ngengxing=0\r\n");
    {
        ReadOnlyFolder readOnly(programDir_->path());
        if (!readOnly.effective())
            QSKIP("cannot make a folder read-only here");
        bool messageSeen = false;
        visitSettings([&](QDialog* w) {
            QTimer watch; // anything modal over the window would be a message
            QObject::connect(&watch, &QTimer::timeout, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                if (modal && modal != w) {
                    messageSeen = true;
                    modal->close();
                }
            });
            watch.start(10);
            choose(w, u"单选框1"_s, u"按钮1"_s);
            QVERIFY(!w->isVisible());
        });
        QVERIFY(!messageSeen);
        QCOMPARE(fileBytes(iniPath()), "[shou]\r\ngengxing=0\r\n"_ba);
        QVERIFY(visitSettings([](QDialog* w) { w->close(); }).manual);
    }
}

void TestDialogs::settingsUseTheProgramDirectory() {
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    writeBytes(elsewhere.filePath(u"index.ini"_s), "[shou]\r\ngengxing=1\r\n");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    const SettingsVisit seen =
        visitSettings([](QDialog* w) { choose(w, u"单选框1"_s, u"按钮1"_s); });
    QDir::setCurrent(previous);
    QVERIFY(seen.manual);
    QCOMPARE(fileBytes(iniPath()), "[shou]\r\ngengxing=1\r\n"_ba);
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), QStringList{u"index.ini"_s});
}

void TestDialogs::aboutShowsItsTextsAndEnterCloses() {
    bool closedByEnter = false;
    whenModal<QDialog>([&](QDialog* window) {
        QCOMPARE(window->windowTitle(), u"关于 Velmora网络电视"_s);
        QCOMPARE(window->minimumSize(), QSize(372, 163));
        QCOMPARE(window->maximumSize(), QSize(372, 163));
        QVERIFY(window->parentWidget() == nullptr);
        auto* name = ui::unit<QLabel>(window, u"标签1"_s);
        QVERIFY(name);
        QCOMPARE(name->text(), u"Velmora网络电视"_s);
        QCOMPARE(name->font().pixelSize(), 16);
        QVERIFY(name->font().bold());
        QCOMPARE(ui::unit<QLabel>(window, u"标签2"_s)->text(), u"版本： 2.1"_s);
        QCOMPARE(ui::unit<QLabel>(window, u"标签3"_s)->text(), u"E-mail："_s);
        // The whole address, in its declared box.
        auto* link = ui::unit<QLabel>(window, u"超级链接框1"_s);
        QCOMPARE(link->text(), QStringLiteral(VELMORA_CONTACT_ADDRESS));
        QCOMPARE(link->accessibleName(), QStringLiteral(VELMORA_CONTACT_ADDRESS));
        QCOMPARE(link->geometry(), QRect(246, 71, 118, 16));
        QVERIFY2(link->fontMetrics().horizontalAdvance(link->text()) <= 118,
                 qPrintable(QString::number(link->fontMetrics().horizontalAdvance(link->text()))));
        QVERIFY(QFontInfo(link->font()).pixelSize() >= 9);
        auto* picture = ui::unit<QLabel>(window, u"图片框1"_s);
        QCOMPARE(picture->pixmap().size(), QSize(176, 160));
        QCOMPARE(picture->geometry(), QRect(0, 0, 176, 168));
        QVERIFY(ui::unit<QPushButton>(window, u"按钮1"_s)->isDefault());

        QTest::keyClick(window, Qt::Key_Return);
        QVERIFY(!window->isVisible());
        closedByEnter = window->result() == QDialog::Accepted;
    });
    openAboutWindow();
    QVERIFY(closedByEnter);
}

void TestDialogs::textTooLongForItsBoxIsCutWithItsWholeAsTip() {
    QLabel label;
    label.setGeometry(0, 0, 118, 16);
    const int normal = QFontInfo(label.font()).pixelSize();
    fitTextInto(&label, u"a@b.cn"_s);
    QCOMPARE(label.text(), u"a@b.cn"_s);
    QCOMPARE(QFontInfo(label.font()).pixelSize(), normal); // fits as it is: left alone
    QVERIFY(label.toolTip().isEmpty());

    const QString address = u"the.author.of.this.viewer@mail.velmoratv.com.cn"_s;
    fitTextInto(&label, address);
    QVERIFY(label.text() != address);
    QVERIFY(label.text().endsWith(QChar(0x2026)));
    QVERIFY(label.fontMetrics().horizontalAdvance(label.text()) <= 118);
    QCOMPARE(label.toolTip(), address);
    QCOMPARE(label.accessibleName(), address);
}

void TestDialogs::aboutLinkMailsTheAuthor() {
    QList<QUrl> opened;
    setDesktopOpener([&](const QUrl& url) { opened << url; });
    whenModal<QDialog>([&](QDialog* window) {
        auto* link = ui::unit<QLabel>(window, u"超级链接框1"_s);
        QVERIFY(link);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(4, link->height() / 2));
        QTest::mouseClick(link, Qt::RightButton, {}, QPoint(4, link->height() / 2));
        QVERIFY(window->isVisible());
        QTest::mouseClick(ui::unit<QPushButton>(window, u"按钮1"_s), Qt::LeftButton);
    });
    openAboutWindow();
    QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("mailto:" VELMORA_CONTACT_ADDRESS))});
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
