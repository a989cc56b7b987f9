// SIGKILL in the middle of a write must leave every data file (the library file too) with either
// its old or its new whole content.
//
// The viewer's own writes are short, so most kills of the real viewer land between them; this
// executable therefore also runs itself as a writer that replaces big files in a loop through the
// same functions the viewer uses (writeDataFile, writeIniValue), and kills that many times.
#include "Processes.h"
#include "StationPages.h"
#include "catalogue/FileIo.h"
#include "catalogue/PageExtraction.h"
#include "catalogue/TvStation.h"
#include "settings/IniFile.h"
#include "settings/LibraryFile.h"
#include "settings/ProgrammeLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWriterKills = 50;
constexpr int kViewerKills = 10;
constexpr size_t kCatalogueBytes = 6 << 20;
constexpr size_t kListBytes = 3 << 20;
constexpr std::string_view kSection = "shou";
constexpr std::string_view kKey = "gengxing";

// A whole file of one generation: its own number all through, so a mix of two shows.
std::string generation(std::string_view name, long gen, size_t size) {
    const std::string line = std::string(name) + " generation " + std::to_string(gen) + "\r\n";
    std::string out;
    out.reserve(size + line.size());
    while (out.size() < size)
        out += line;
    return out;
}

// The generation a file holds, or -1 if it is not one whole generation.
long generationOf(const std::string& content, std::string_view name, size_t size) {
    const size_t space = content.find(" generation ");
    if (space == std::string::npos)
        return -1;
    const long gen = std::atol(content.c_str() + space + 12);
    return content == generation(name, gen, size) ? gen : -1;
}

// Settings a user added by hand, big enough that a write takes a while; a write must keep them.
std::string handWrittenIni() {
    std::string ini = "; written by hand\r\n[view]\r\nzoom=2\r\n\r\n";
    for (int i = 0; i < 40000; ++i)
        ini += "; note " + std::to_string(i) + " about nothing in particular\r\n";
    ini += "[shou]\r\ngengxing=0\r\n[tail]\r\nlast=1\r\n";
    return ini;
}

// A library file of one generation, near its 1 MiB limit: every entry names the generation, and
// so does a field the viewer does not know, which takes up most of the room (names are short).
QJsonObject libraryGeneration(long gen) {
    ProgrammeLibrary library;
    for (int i = 0; i < ProgrammeLibrary::kMaxFavourites; ++i)
        library.addFavourite(
            {QStringLiteral("新闻联播"), QStringLiteral("generation %1 item %2").arg(gen).arg(i)});
    const QString note = QStringLiteral("generation %1 ").arg(gen);
    return library.toJson({{QStringLiteral("notes"), note.repeated(900'000 / note.size())}});
}

// The generation the library file holds, or -1 if it does not read as one whole generation.
long libraryGenerationOf(const QString& path) {
    const library_file::Read read = library_file::read(path);
    if (read.outcome != library_file::Read::Outcome::Read)
        return -1;
    const QString first = ProgrammeLibrary::fromJson(read.root).favourites().front().title;
    const long gen = first.section(QLatin1Char(' '), 1, 1).toLong();
    return read.root == libraryGeneration(gen) ? gen : -1;
}

void report(const std::string& line) {
    const std::string out = line + "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, out.data(), out.size());
}

// The writer: replaces the three files again and again, saying when each write begins and ends.
int writeLoop(const QString& dir) {
    for (long gen = 1;; ++gen) {
        report("begin " + std::to_string(gen));
        writeDataFile(dir, QStringLiteral("/spsj.txt"), generation("spsj", gen, kCatalogueBytes));
        writeDataFile(dir, QStringLiteral("/xzwj/xwlb.txt"), generation("xwlb", gen, kListBytes));
        writeIniValue(dir + QStringLiteral("/index.ini"), kSection, kKey, std::to_string(gen));
        library_file::write(dir + QStringLiteral("/library.json"), libraryGeneration(gen));
        report("end " + std::to_string(gen));
    }
}

} // namespace

class TestKill : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void killedWriterLeavesWholeFiles();
    void killedViewerLeavesWholeFiles();
};

void TestKill::killedWriterLeavesWholeFiles() {
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("xzwj"))));
    const QString spsj = dir.filePath(QStringLiteral("spsj.txt"));
    const QString list = dir.filePath(QStringLiteral("xzwj/xwlb.txt"));
    const QString ini = dir.filePath(QStringLiteral("index.ini"));
    QVERIFY(writeFileAtomically(spsj, generation("spsj", 0, kCatalogueBytes)));
    QVERIFY(writeFileAtomically(list, generation("xwlb", 0, kListBytes)));
    QVERIFY(writeFileAtomically(ini, handWrittenIni()));
    const QString library = dir.filePath(QStringLiteral("library.json"));
    QVERIFY(library_file::write(library, libraryGeneration(0)));
    QVERIFY(QFile(library).size() > 300'000 && QFile(library).size() < library_file::kMaxBytes);

    QElapsedTimer clock;
    clock.start();
    int insideWrites = 0;
    for (int kill = 0; kill < kWriterKills; ++kill) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--write-loop"), dir.path()});
        QVERIFY(writer.waitForStarted());
        QVERIFY(writer.waitForReadyRead(10000)); // the first "begin": it is writing
        QTest::qWait(QRandomGenerator::global()->bounded(5, 150));
        ::kill(pid_t(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished(10000));

        // Each round replaces all three files, so a kill in round n leaves round n - 1 or n.
        long round = 0;
        bool inside = false;
        for (const QByteArray& line : writer.readAllStandardOutput().split('\n')) {
            if (line.startsWith("begin ")) {
                round = line.mid(6).toLong();
                inside = true;
            } else if (line.startsWith("end ")) {
                inside = false;
            }
        }
        insideWrites += inside ? 1 : 0;
        const auto oldOrNew = [round](long gen) { return gen == round - 1 || gen == round; };

        const long spsjGen = generationOf(readWholeFile(spsj).value(), "spsj", kCatalogueBytes);
        QVERIFY2(oldOrNew(spsjGen), qPrintable(QString::number(spsjGen)));
        const long listGen = generationOf(readWholeFile(list).value(), "xwlb", kListBytes);
        QVERIFY2(oldOrNew(listGen), qPrintable(QString::number(listGen)));
        // The hand-written lines survive, and the one value is whole.
        const std::string iniContent = readWholeFile(ini).value();
        const std::optional<std::string> value = iniValue(iniContent, kSection, kKey);
        QVERIFY(value);
        QVERIFY2(oldOrNew(std::atol(value->c_str())), value->c_str());
        QCOMPARE(iniContent, *withIniValue(handWrittenIni(), kSection, kKey, *value));
        const long libraryGen = libraryGenerationOf(library);
        QVERIFY2(oldOrNew(libraryGen), qPrintable(QString::number(libraryGen)));

        // Start the next run from whole files of generation 0, so each kill is judged alone.
        QVERIFY(writeFileAtomically(spsj, generation("spsj", 0, kCatalogueBytes)));
        QVERIFY(writeFileAtomically(list, generation("xwlb", 0, kListBytes)));
        QVERIFY(writeFileAtomically(ini, handWrittenIni()));
        QVERIFY(library_file::write(library, libraryGeneration(0)));
    }
    // A kill between the temporary file and its rename leaves the temporary behind at worst.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    qInfo("%d writer kills in %lld ms, %d of them inside a round of writes; files left: %s",
          kWriterKills, clock.elapsed(), insideWrites, qPrintable(left.join(QLatin1Char(' '))));
}

void TestKill::killedViewerLeavesWholeFiles() {
    StationProcess station;
    QVERIFY(station.started());
    // What each file may hold: the old content, or one of the whole contents a start writes.
    std::vector<std::string> pages;
    std::string catalogue;
    for (const CategoryRow& row : TvStation::categories()) {
        pages.push_back(station::buildCategoryPage(row.number));
        for (const std::string& line : extractEntryLines(row, cutContentSection(pages.back())))
            catalogue += line;
    }
    const std::string old = "left from an earlier start";

    QElapsedTimer clock;
    clock.start();
    for (int kill = 0; kill < kViewerKills; ++kill) {
        ViewerProcess viewer;
        const QString dir = viewer.programDirectory();
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/xzwj")));
        for (const CategoryRow& row : TvStation::categories())
            QVERIFY(writeFileAtomically(dir + row.listFile, old));
        QVERIFY(writeFileAtomically(dir + QStringLiteral("/spsj.txt"), old));
        viewer.start(station.address());
        // The writes happen from the first step on, within about a second.
        QVERIFY(viewer.waitForEvent(QStringLiteral("step "), 20000));
        QTest::qWait(QRandomGenerator::global()->bounded(0, 900));
        viewer.kill();

        for (const CategoryRow& row : TvStation::categories()) {
            // The step writes the whole page, then replaces it with the content section.
            const std::string content = readWholeFile(dir + row.listFile).value();
            const std::string& page = pages[size_t(row.number - 1)];
            QVERIFY2(content == old || content == page || content == cutContentSection(page),
                     qPrintable(row.listFile));
        }
        const std::string written = readWholeFile(dir + QStringLiteral("/spsj.txt")).value();
        QVERIFY(written == old || written == catalogue);
    }
    qInfo("%d viewer kills in %lld ms", kViewerKills, clock.elapsed());
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--write-loop")
        return writeLoop(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kill.moc"
