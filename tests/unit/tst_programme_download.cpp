// Keeping programmes against the real station: the kept file is the station's clip byte for byte
// (its header and data objects, which is what a stream carries), a stream that breaks off is
// taken up where the file ends, a disk that is too small or fills says so, and the downloads wait
// their turn two at a time.
#include "Processes.h"
#include "Tmpfs.h"
#include "playback/ProgrammeDownload.h"
#include "ui/DownloadService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Failure = ProgrammeDownload::Failure;

namespace {

const QString kLongClip = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv");
// demo-long.wmv: an 809-byte header, then 2096 packets of 3200 bytes; its index object follows.
constexpr qint64 kHeader = 809;
constexpr qint64 kPacket = 3200;
constexpr qint64 kKept = 6'708'009;

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The station with only the 40 s clip, which every title then streams.
struct LongClipStation {
    explicit LongClipStation(const QStringList& more = {}) {
        QFile::link(kLongClip, media.filePath(u"demo-long.wmv"_s));
        station = std::make_unique<StationProcess>(QStringList{u"--media"_s, media.path()} + more);
    }
    QString address(const QString& title) const {
        return u"mms://"_s + station->address() + u"/sp/"_s + title + u".wmv"_s;
    }
    QTemporaryDir media;
    std::unique_ptr<StationProcess> station;
};

// What the kept file should hold: the clip up to the end of its data object.
QByteArray expectedBytes() {
    return readFile(kLongClip).left(kKept);
}

} // namespace

class TestProgrammeDownload : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void theFileIsTheStationsClipByteForByte();
    void aCutIsTakenUpWhereTheFileEnds();
    void aFileOfAnotherProgrammeIsStartedAfresh();
    void failuresSayWhy();
    void aDiskTooSmallOrFullEndsTheDownload();
    void twoRunAtOnceTheRestWaitAndCancelLetsTheNextGo();
    void aBrokenOffDownloadGoesOnByItselfOrFailsWithTheReason();
    void theNextStartGoesOnWithWhatWaitedAndForgetsWhatIsGone();

  private:
    QNetworkAccessManager network_;
};

void TestProgrammeDownload::theFileIsTheStationsClipByteForByte() {
    LongClipStation station;
    QVERIFY(station.station->started());
    QTemporaryDir dir;
    const QString part = dir.filePath(u"sub/节目.wmv.part"_s);
    ProgrammeDownload download(network_, station.address(u"新闻联播0112期"_s), part);
    QSignalSpy finished(&download, &ProgrammeDownload::finished);
    download.start();
    QVERIFY(finished.wait(30000));
    QCOMPARE(download.length(), kKept);
    QCOMPARE(download.bytes(), kKept);
    const QByteArray kept = readFile(part);
    QCOMPARE(kept.size(), kKept);
    QVERIFY(kept == expectedBytes());
    // It asked for the programme faster than its own rate, and was given that.
    QVERIFY(station.station->waitForLog(u"speed 1000"_s, 5000));

    // Started again on a whole file, it asks for nothing and is done.
    download.start();
    QVERIFY(finished.wait(5000));
    QCOMPARE(station.station->log().filter(u"GET /sp/"_s).size(), 1);
}

void TestProgrammeDownload::aCutIsTakenUpWhereTheFileEnds() {
    // Every stream ends after 700 packets: the first at packet 700, one from there at 1400.
    LongClipStation station({u"--stream-fault"_s, u"cut=700"_s});
    QVERIFY(station.station->started());
    QTemporaryDir dir;
    const QString part = dir.filePath(u"x.wmv.part"_s);
    ProgrammeDownload download(network_, station.address(u"走进农家"_s), part);
    QSignalSpy failed(&download, &ProgrammeDownload::failed);
    QSignalSpy finished(&download, &ProgrammeDownload::finished);
    download.start();
    QVERIFY(failed.wait(30000));
    QCOMPARE(download.failure(), Failure::BrokeOff);
    QCOMPARE(download.bytes(), kHeader + 700 * kPacket);
    QCOMPARE(QFileInfo(part).size(), kHeader + 700 * kPacket);
    QVERIFY(download.madeProgress());

    // The file loses a few bytes of a packet as a crash would leave it: the next attempt goes
    // on from the last whole packet.
    QVERIFY(QFile::resize(part, kHeader + 700 * kPacket - 5));
    download.start();
    QVERIFY(failed.wait(30000));
    QVERIFY(station.station->waitForLog(u"play from packet 699"_s, 5000));
    QCOMPARE(download.bytes(), kHeader + 1399 * kPacket);
    download.start();
    QVERIFY(finished.wait(30000));
    QVERIFY(station.station->waitForLog(u"play from packet 1399"_s, 5000));
    QVERIFY(readFile(part) == expectedBytes());
}

void TestProgrammeDownload::aFileOfAnotherProgrammeIsStartedAfresh() {
    LongClipStation station;
    QVERIFY(station.station->started());
    QTemporaryDir dir;
    const QString part = dir.filePath(u"x.wmv.part"_s);
    // Another clip's header and packets under this programme's name.
    QFile file(part);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(readFile(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-colours.wmv")).left(50'000));
    file.close();
    ProgrammeDownload download(network_, station.address(u"走进农家"_s), part);
    QSignalSpy finished(&download, &ProgrammeDownload::finished);
    download.start();
    QVERIFY(finished.wait(30000));
    QVERIFY(readFile(part) == expectedBytes());
    // Asked from where that file ended, then from the start.
    const QStringList plays = station.station->log().filter(u"play "_s);
    QVERIFY2(plays.size() == 3 && plays[1].startsWith(u"play from packet 15"_s),
             qPrintable(plays.join(u'|')));
}

void TestProgrammeDownload::failuresSayWhy() {
    LongClipStation station({u"--stream-fault"_s, u"stall=10"_s});
    QVERIFY(station.station->started());
    QTemporaryDir dir;
    const auto failureFor = [&](const QString& address, const QString& name) {
        ProgrammeDownload download(network_, address, dir.filePath(name));
        // Long enough for a slow station's first packets (a sanitizer build's), so that a stall
        // after them is told from no answer at all.
        download.setStallTimeout(std::chrono::milliseconds(3000));
        QSignalSpy failed(&download, &ProgrammeDownload::failed);
        download.start();
        return failed.wait(15000) ? download.failure() : Failure::None;
    };
    // The station has no file for titles starting with "missing".
    QCOMPARE(failureFor(station.address(u"missing"_s), u"a"_s), Failure::NotFound);
    QCOMPARE(
        failureFor(u"http://"_s + station.station->address() + u"/index/4/20100112/100813.shtml"_s,
                   u"b"_s),
        Failure::NotAStream);
    // Ten packets, then nothing: the file has them, the stall ends the attempt.
    QCOMPARE(failureFor(station.address(u"走进农家"_s), u"c"_s), Failure::BrokeOff);
    QCOMPARE(QFileInfo(dir.filePath(u"c"_s)).size(), kHeader + 10 * kPacket);
    // Nothing listens on the station's port once it has gone.
    const QString gone = station.address(u"走进农家"_s);
    station.station.reset();
    QCOMPARE(failureFor(gone, u"d"_s), Failure::CannotConnect);
    QVERIFY(!QFileInfo::exists(dir.filePath(u"a"_s)));
    QVERIFY(!QFileInfo::exists(dir.filePath(u"d"_s)));
}

void TestProgrammeDownload::aDiskTooSmallOrFullEndsTheDownload() {
    Tmpfs small(4 << 20);
    if (!small.mounted())
        QSKIP("mounting a tmpfs needs root");
    // Paced at the clip's own rate: it is still coming when the disk fills.
    LongClipStation station({u"--max-speed"_s, u"1"_s});
    QVERIFY(station.station->started());
    {
        ProgrammeDownload download(network_, station.address(u"a"_s), small.path() + u"/a.part"_s);
        QSignalSpy failed(&download, &ProgrammeDownload::failed);
        download.start();
        QVERIFY(failed.wait(15000));
        QCOMPARE(download.failure(), Failure::NoSpace);
        QCOMPARE(download.spaceNeeded(), kKept);
        QVERIFY(download.spaceFree() <= 4 << 20);
        // Checked before a byte was written.
        QVERIFY(!QFileInfo::exists(small.path() + u"/a.part"_s));
    }

    Tmpfs disk(8 << 20);
    const QString part = disk.path() + u"/节目.wmv.part"_s;
    ProgrammeDownload download(network_, station.address(u"b"_s), part);
    QSignalSpy progressed(&download, &ProgrammeDownload::progressed);
    QSignalSpy failed(&download, &ProgrammeDownload::failed);
    download.start();
    QVERIFY(progressed.wait(15000));
    QVERIFY(disk.fill(u"filler"_s) > 0);
    QVERIFY(failed.wait(15000));
    QCOMPARE(download.failure(), Failure::DiskFull);
    // What came is there, under the name that says it is not whole.
    const qint64 kept = QFileInfo(part).size();
    QVERIFY2(kept > kHeader && kept < kKept, qPrintable(QString::number(kept)));
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files),
             (QStringList{u"filler"_s, u"节目.wmv.part"_s}));

    // With room again it goes on from there, from a station that sends at full speed.
    QFile::remove(disk.path() + u"/filler"_s);
    LongClipStation fast;
    ProgrammeDownload again(network_, fast.address(u"b"_s), part);
    QSignalSpy finished(&again, &ProgrammeDownload::finished);
    again.start();
    QVERIFY(finished.wait(30000));
    QVERIFY(fast.station->waitForLog(
        u"play from packet "_s + QString::number((kept - kHeader) / kPacket), 5000));
    QVERIFY(readFile(part) == expectedBytes());
}

void TestProgrammeDownload::twoRunAtOnceTheRestWaitAndCancelLetsTheNextGo() {
    LongClipStation station({u"--max-speed"_s, u"8"_s});
    QVERIFY(station.station->started());
    QTemporaryDir dir;
    DownloadList list;
    DownloadService service(list, dir.path(), [&](const ProgrammeKey& key) {
        return std::optional<QString>(station.address(key.title));
    });
    QStringList events;
    int mostAtOnce = 0;
    connect(&service, &DownloadService::happened, this, [&](const QString& event) {
        events << event;
        mostAtOnce = std::max(mostAtOnce, service.runningCount());
    });
    const ProgrammeKey a{u"新闻联播"_s, u"甲"_s}, b{u"新闻联播"_s, u"乙"_s},
        c{u"新闻联播"_s, u"丙"_s};
    QVERIFY(service.add(a));
    QVERIFY(service.add(b));
    QVERIFY(service.add(c));
    QVERIFY(!service.add(c));
    QVERIFY(service.isRunning(a) && service.isRunning(b) && !service.isRunning(c));
    QCOMPARE(service.detail(c), u"等待中"_s);
    QCOMPARE(service.detail(a), u"连接中"_s);

    // Cancelled, the first leaves nothing behind, and the third takes its place.
    service.cancel(a);
    QVERIFY(!list.find(a));
    QVERIFY(service.isRunning(c));
    QTRY_VERIFY_WITH_TIMEOUT(list.find(b)->state == DownloadEntry::State::Done &&
                                 list.find(c)->state == DownloadEntry::State::Done,
                             60000);
    QCOMPARE(mostAtOnce, 2);
    QCOMPARE(QDir(dir.filePath(u"新闻联播"_s)).entryList(QDir::Files),
             (QStringList{u"丙.wmv"_s, u"乙.wmv"_s}));
    QVERIFY(readFile(service.filePath(*list.find(c))) == expectedBytes());
    QCOMPARE(events.filter(u"download-started"_s),
             (QStringList{u"download-started 新闻联播/甲 from=0"_s,
                          u"download-started 新闻联播/乙 from=0"_s,
                          u"download-started 新闻联播/丙 from=0"_s}));
    QCOMPARE(service.statusLine(c), u"已下载，6.4 MB"_s);

    // 删除 takes the file; asked again, the programme gets the plain name once more.
    service.remove(c);
    QVERIFY(!QFileInfo::exists(dir.filePath(u"新闻联播/丙.wmv"_s)));
    QVERIFY(service.add(c));
    QCOMPARE(list.find(c)->copy, 1);
    // A file of the user's under the name is never replaced: the next name is taken.
    service.cancel(c);
    QFile mine(dir.filePath(u"新闻联播/丙.wmv"_s));
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.close();
    QVERIFY(service.add(c));
    QCOMPARE(service.filePath(*list.find(c)), dir.filePath(u"新闻联播/丙 (2).wmv"_s));
}

void TestProgrammeDownload::aBrokenOffDownloadGoesOnByItselfOrFailsWithTheReason() {
    LongClipStation station({u"--stream-fault"_s, u"cut=700"_s});
    QVERIFY(station.station->started());
    QTemporaryDir dir;
    DownloadList list;
    std::optional<QString> address = station.address(u"节目"_s);
    DownloadService service(list, dir.path(), [&](const ProgrammeKey&) { return address; });
    service.setFirstRetryWait(std::chrono::milliseconds(50));
    QStringList events;
    connect(&service, &DownloadService::happened, this,
            [&](const QString& event) { events << event; });
    const ProgrammeKey key{u"走进农家"_s, u"节目"_s};
    QVERIFY(service.add(key));
    QTRY_VERIFY_WITH_TIMEOUT(list.find(key)->state == DownloadEntry::State::Done, 60000);
    QCOMPARE(
        events.filter(u"download-broke-off"_s),
        (QStringList{u"download-broke-off 走进农家/节目 at=2240809 reason=broke-off attempt=1"_s,
                     u"download-broke-off 走进农家/节目 at=4480809 reason=broke-off attempt=1"_s}));
    QVERIFY(events.contains(u"download-resumed 走进农家/节目 from=2240809"_s));
    QVERIFY(readFile(service.filePath(*list.find(key))) == expectedBytes());

    // A connection reset loses what was under way on it; the file is whole all the same.
    LongClipStation resetting({u"--stream-fault"_s, u"drop=500"_s});
    address = resetting.address(u"节目"_s);
    const ProgrammeKey reset{u"走进农家"_s, u"重置"_s};
    QVERIFY(service.add(reset));
    QTRY_VERIFY_WITH_TIMEOUT(list.find(reset)->state == DownloadEntry::State::Done, 60000);
    QVERIFY(readFile(service.filePath(*list.find(reset))) == expectedBytes());
    QVERIFY(resetting.station->log().filter(u"stream dropped"_s).size() >= 4);

    // Nothing answers any more: three tries, then the reason, and a retry starts it again.
    const ProgrammeKey other{u"走进农家"_s, u"另一个"_s};
    resetting.station.reset();
    QVERIFY(service.add(other));
    QTRY_VERIFY_WITH_TIMEOUT(list.find(other)->state == DownloadEntry::State::Failed, 30000);
    QCOMPARE(list.find(other)->reason, u"cannot-connect"_s);
    QCOMPARE(service.detail(other), u"无法连接"_s);
    QCOMPARE(service.statusLine(other), u"下载失败：无法连接到服务器"_s);
    QCOMPARE(events.filter(u"download-broke-off 走进农家/另一个"_s).size(), 3);
    service.retry(other);
    QCOMPARE(list.find(other)->state, DownloadEntry::State::Queued);
    QVERIFY(service.isRunning(other));
    // One today's catalogue lacks has no address to go on from.
    address.reset();
    service.cancel(other);
    QVERIFY(service.add(other));
    QCOMPARE(list.find(other)->reason, u"not-in-catalogue"_s);
}

void TestProgrammeDownload::theNextStartGoesOnWithWhatWaitedAndForgetsWhatIsGone() {
    LongClipStation station;
    QTemporaryDir dir;
    // As the last run left it: one under way, one kept whose file the user deleted, one kept.
    DownloadList list;
    const ProgrammeKey half{u"新闻联播"_s, u"半"_s}, gone{u"新闻联播"_s, u"没了"_s},
        kept{u"新闻联播"_s, u"在"_s};
    for (const ProgrammeKey& key : {half, gone, kept})
        QVERIFY(list.add(key));
    list.find(gone)->state = DownloadEntry::State::Done;
    list.find(kept)->state = DownloadEntry::State::Done;
    QVERIFY(QDir(dir.path()).mkpath(u"新闻联播"_s));
    QFile part(dir.filePath(u"新闻联播/半.wmv.part"_s));
    QVERIFY(part.open(QIODevice::WriteOnly));
    part.write(expectedBytes().left(kHeader + 100 * kPacket));
    part.close();
    QFile file(dir.filePath(u"新闻联播/在.wmv"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    DownloadService service(list, dir.path(), [&](const ProgrammeKey& key) {
        return std::optional<QString>(station.address(key.title));
    });
    QStringList events;
    connect(&service, &DownloadService::happened, this,
            [&](const QString& event) { events << event; });
    QSignalSpy changed(&service, &DownloadService::listChanged);
    service.resume();
    QCOMPARE(events, (QStringList{u"download-gone 新闻联播/没了"_s,
                                  u"download-started 新闻联播/半 from=320809"_s}));
    QVERIFY(changed.size() >= 1);
    QVERIFY(!list.find(gone));
    QTRY_VERIFY_WITH_TIMEOUT(list.find(half)->state == DownloadEntry::State::Done, 30000);
    QVERIFY(station.station->waitForLog(u"play from packet 100"_s, 5000));
    QVERIFY(readFile(dir.filePath(u"新闻联播/半.wmv"_s)) == expectedBytes());
    QCOMPARE(list.find(kept)->state, DownloadEntry::State::Done);
}

QTEST_GUILESS_MAIN(TestProgrammeDownload)
#include "tst_programme_download.moc"
