// Reading and writing index.ini through the viewer's own functions: time (median of several runs,
// the write including its flush to disk) and the peak of heap memory either takes, for files of
// the shapes a user or an attacker might leave there, up to the 16 MiB limit.
//
// usage: bench_ini [runs]   (default 9)
#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <string>
#include <vector>

// Every allocation through operator new is counted, so the peak of one call can be read off.
namespace {
std::atomic<size_t> heapNow{0};
std::atomic<size_t> heapPeak{0};

void counted(void* p) {
    const size_t now = heapNow += malloc_usable_size(p);
    size_t peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
}
} // namespace

void* operator new(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    counted(p);
    return p;
}
void operator delete(void* p) noexcept {
    if (p)
        heapNow -= malloc_usable_size(p);
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

namespace {

using Clock = std::chrono::steady_clock;

struct Shape {
    const char* name;
    std::string content;
};

// `size` bytes of a given line pattern, with the settings section at the very end so that the
// lookup walks the whole file.
std::string filled(const std::string& line, size_t size) {
    const std::string tail = "[shou]\r\ngengxing=0\r\n";
    std::string out;
    out.reserve(size);
    while (out.size() + line.size() + tail.size() <= size)
        out += line;
    out.append(size - out.size() - tail.size(), '\n');
    return out + tail;
}

struct Figures {
    double readMs = 0;
    double writeMs = 0;
    size_t readPeak = 0;
    size_t writePeak = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Figures measure(const QString& path, const std::string& content, int runs) {
    std::vector<double> reads, writes;
    Figures f;
    for (int run = 0; run < runs; ++run) {
        {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(content.data(), qint64(content.size())) != qint64(content.size()))
                std::abort();
        }
        heapPeak = heapNow.load();
        size_t base = heapNow;
        auto start = Clock::now();
        const std::string value = readIniValue(path, "shou", "gengxing");
        reads.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        f.readPeak = std::max(f.readPeak, heapPeak - base);

        heapPeak = heapNow.load();
        base = heapNow;
        start = Clock::now();
        const bool written = writeIniValue(path, "shou", "gengxing", "1");
        writes.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        f.writePeak = std::max(f.writePeak, heapPeak - base);
        if (value != "0" || !written)
            std::abort();
    }
    f.readMs = median(reads);
    f.writeMs = median(writes);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    QTemporaryDir dir; // on the real disk, so the write's flush costs what it costs a user
    const QString path = dir.filePath(QStringLiteral("index.ini"));

    constexpr size_t kMiB = 1 << 20;
    const std::vector<Shape> shapes = {
        {"1 MiB of newlines", filled("\n", kMiB)},
        {"1 MiB of key lines", filled("key12345=some value\r\n", kMiB)},
        {"1 MiB of headers", filled("[s]\r\n", kMiB)},
        {"1 MiB in one line", filled(std::string(kMiB - 64, 'x'), kMiB)},
        {"16 MiB of newlines", filled("\n", 16 * kMiB)},
        {"16 MiB of key lines", filled("key12345=some value\r\n", 16 * kMiB)},
    };
    std::printf("%-22s %10s %10s %14s %14s\n", "file", "read ms", "write ms", "read peak",
                "write peak");
    for (const Shape& shape : shapes) {
        const Figures f = measure(path, shape.content, runs);
        std::printf("%-22s %10.1f %10.1f %10.2f MiB %10.2f MiB  (file %.2f MiB)\n", shape.name,
                    f.readMs, f.writeMs, double(f.readPeak) / kMiB, double(f.writePeak) / kMiB,
                    double(shape.content.size()) / kMiB);
    }
    return 0;
}
