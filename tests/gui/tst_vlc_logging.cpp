#include "playback/VlcEngine.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMutex>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Status = VlcEngine::Status;

namespace {

QMutex messagesMutex;
QStringList messages; // "category|text", from whichever thread libVLC reports on

void collect(QtMsgType, const QMessageLogContext& context, const QString& text) {
    const QMutexLocker lock(&messagesMutex);
    messages << QString::fromUtf8(context.category) + u'|' + text;
}

QStringList vlcMessages() {
    const QMutexLocker lock(&messagesMutex);
    return messages.filter(QRegularExpression(u"^velmora\\.vlc\\|"_s));
}

// Everything written to file descriptor 2 while it lives, libVLC's and ALSA's C code included.
class StandardErrorCapture {
  public:
    StandardErrorCapture() : saved_(::dup(2)) {
        file_.open();
        ::dup2(file_.handle(), 2);
    }
    ~StandardErrorCapture() { restore(); }
    QByteArray restore() {
        if (saved_ >= 0) {
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
        }
        QFile read(file_.fileName());
        return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
    }

  private:
    QTemporaryFile file_;
    int saved_;
};

bool reaches(VlcEngine& engine, Status status) {
    if (engine.status() == status)
        return true;
    QSignalSpy spy(&engine, &VlcEngine::statusChanged);
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        for (const QList<QVariant>& arguments : spy) {
            if (arguments.at(0).value<Status>() == status)
                return true;
        }
        spy.wait(200);
    }
    return false;
}

} // namespace

class TestVlcLogging : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void playingAndFailingWriteNothingToTheTerminal();
    void reportsGoToTheirCategoryWhenAskedFor();
};

void TestVlcLogging::initTestCase() {
    // The engines below are made as for a user, with no audio output named: a silent one is
    // picked only where no sound output exists.
    qInstallMessageHandler(collect);
}

void TestVlcLogging::playingAndFailingWriteNothingToTheTerminal() {
    StandardErrorCapture capture;
    {
        VlcEngine engine;
        engine.open(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.mp3"));
        QVERIFY(reaches(engine, Status::Playing));
        engine.open(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-testsrc.wmv"));
        QVERIFY(reaches(engine, Status::Playing));
        engine.open(u"/nonexistent/节目.wmv"_s);
        QVERIFY(reaches(engine, Status::CannotPlay));
    }
    const QByteArray written = capture.restore();
    QCOMPARE(written, QByteArray());
    QCOMPARE(vlcMessages(), QStringList());
}

void TestVlcLogging::reportsGoToTheirCategoryWhenAskedFor() {
    QLoggingCategory::setFilterRules(u"velmora.vlc.debug=true"_s);
    VlcEngine engine;
    engine.open(u"/nonexistent/节目.wmv"_s);
    QVERIFY(reaches(engine, Status::CannotPlay));
    QTRY_VERIFY_WITH_TIMEOUT(!vlcMessages().filter(u"|error: "_s).isEmpty(), 10000);
    QLoggingCategory::setFilterRules(QString());
}

QTEST_MAIN(TestVlcLogging)
#include "tst_vlc_logging.moc"
