// The settings file itself: arbitrary content, repeated up to a few MiB, written to a real file
// and read and written through the viewer's own functions. The file reads as the text does, a
// write leaves exactly the text the in-memory writer makes, a file over the size limit is never
// read nor replaced, and no call holds more heap than twice the file plus 1 MiB.
// scripts/fuzz.sh runs it under a memory limit as well.
#include "FuzzCheck.h"
#include "settings/IniFile.h"

#include <QFile>
#include <QString>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/allocator_interface.h>
#include <string>
#include <unistd.h>

namespace {

std::atomic<size_t> heapNow{0};
std::atomic<size_t> heapPeak{0};

void onMalloc(const volatile void*, size_t size) {
    const size_t now = heapNow += size;
    size_t peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
}

void onFree(const volatile void* p) {
    heapNow -= __sanitizer_get_allocated_size(const_cast<const void*>(p));
}

// The heap a call takes beyond what was held before it.
template <typename Call> size_t heapOf(Call&& call) {
    const size_t before = heapNow.load();
    heapPeak = before;
    call();
    return heapPeak.load() - before;
}

// In memory where there is a tmpfs, so the flush of every write costs nothing.
const QString& workFile() {
    static const QString path = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return QString::fromLatin1(base) + QStringLiteral("/fuzz_ini_file.%1.ini").arg(getpid());
    }();
    return path;
}

void putFile(const std::string& content, qint64 size) {
    const int fd = ::open(QFile::encodeName(workFile()).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, content.data(), content.size()) == ssize_t(content.size()));
    // Beyond the content, a hole: a huge file costs no time to make.
    if (size > qint64(content.size()))
        FUZZ_CHECK(::ftruncate(fd, size) == 0);
    ::close(fd);
}

std::string fileContent() {
    QFile file(workFile());
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const size_t repeats = size_t(1) << in.ConsumeIntegralInRange(0, 9);
    const bool oversized = in.ConsumeIntegralInRange(0, 15) == 0;
    const std::string value = in.ConsumeRandomLengthString(8);
    const std::string pattern = in.ConsumeRemainingBytesAsString();
    std::string content;
    content.reserve(pattern.size() * repeats);
    for (size_t i = 0; i < repeats; ++i)
        content += pattern;
    const qint64 fileSize = oversized ? kMaxIniFileBytes + 1 + qint64(content.size()) : 0;
    putFile(content, fileSize);
    const size_t allowed = 2 * content.size() + (size_t(1) << 20);

    std::string read;
    const size_t readHeap =
        heapOf([&] { read = readIniValue(workFile(), "shou", "gengxing", "<default>"); });
    FUZZ_CHECK(readHeap <= allowed);
    bool written = false;
    const size_t writeHeap =
        heapOf([&] { written = writeIniValue(workFile(), "shou", "gengxing", value); });
    FUZZ_CHECK(writeHeap <= allowed);

    if (oversized) {
        // Never read, never replaced.
        FUZZ_CHECK(read == "<default>");
        FUZZ_CHECK(!written);
        FUZZ_CHECK(QFile(workFile()).size() == fileSize);
        return 0;
    }
    FUZZ_CHECK(read == iniValue(content, "shou", "gengxing").value_or("<default>"));
    const std::optional<std::string> expected = withIniValue(content, "shou", "gengxing", value);
    FUZZ_CHECK(written == expected.has_value());
    FUZZ_CHECK(fileContent() == expected.value_or(content));
    return 0;
}
