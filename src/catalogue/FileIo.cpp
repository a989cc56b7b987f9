#include "catalogue/FileIo.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// An open descriptor, closed when it goes.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~Fd() { close(); }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // False when the kernel reports a failure that the close brought to light.
    bool close() { return fd_ < 0 || ::close(std::exchange(fd_, -1)) == 0; }

  private:
    int fd_ = -1;
};

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// A non-blocking open never waits for a FIFO's other end; O_NOCTTY keeps a terminal from becoming
// the process's own.
constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC;

// The content of a regular file at most `maxBytes` long, read to its end.
std::optional<std::string> readOpen(int fd, qint64 maxBytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxBytes ||
        maxBytes < 0)
        return std::nullopt;
    // One byte beyond the size shows a file that grew meanwhile; it is read on up to the limit.
    const size_t limit = size_t(maxBytes) + 1;
    std::string bytes(std::min(size_t(info.st_size) + 1, limit), '\0');
    size_t got = 0;
    while (true) {
        if (got == bytes.size()) {
            if (bytes.size() >= limit)
                return std::nullopt;
            bytes.resize(std::min(bytes.size() * 2 + 4096, limit));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += size_t(n);
    }
    bytes.resize(got);
    return bytes;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

std::string temporaryName(const std::string& leaf) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = leaf + '.';
    for (int i = 0; i < 6; ++i)
        name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
    return name;
}

// Replaces `leaf` in the open folder by a new file holding the pieces. Whatever had that name, a
// link included, is replaced itself; the permission bits of a regular file there are kept.
bool replaceAt(int folder, const std::string& leaf, std::span<const std::string_view> pieces) {
    struct stat old {};
    const bool keepMode =
        ::fstatat(folder, leaf.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode);
    std::string temporary;
    Fd out;
    for (int attempt = 0; attempt < 100 && !out; ++attempt) {
        temporary = temporaryName(leaf);
        out = Fd(::openat(folder, temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!out && errno != EEXIST)
            return false;
    }
    if (!out)
        return false;
    bool ok = !keepMode || ::fchmod(out.get(), old.st_mode & 07777) == 0;
    for (const std::string_view piece : pieces)
        ok = ok && writeAll(out.get(), piece);
    ok = ok && ::fdatasync(out.get()) == 0;
    ok = out.close() && ok;
    ok = ok && ::renameat(folder, temporary.c_str(), folder, leaf.c_str()) == 0;
    if (!ok) {
        ::unlinkat(folder, temporary.c_str(), 0);
        return false;
    }
    // The rename itself reaches the disk too, so a power cut cannot bring the old file back.
    ::fsync(folder);
    return true;
}

// A file's folder, opened, and its name in it.
struct Place {
    Fd folder;
    std::string leaf;
};

// `relative` inside `directory`, reached without following a link or leaving through "..".
std::optional<Place> placeInside(const QString& directory, const QString& relative) {
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return std::nullopt;
    for (const QString& part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return std::nullopt;
    }
    Place place{Fd(::open(native(directory).constData(), kFolderFlags)),
                native(parts.last()).toStdString()};
    if (!place.folder)
        return std::nullopt;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        Fd next(
            ::openat(place.folder.get(), native(parts[i]).constData(), kFolderFlags | O_NOFOLLOW));
        if (!next)
            return std::nullopt;
        place.folder = std::move(next);
    }
    return place;
}

bool isMissing(const QByteArray& name) {
    struct stat info {};
    return ::lstat(name.constData(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

} // namespace

FileRead readRegularFile(const QString& path, qint64 maxBytes) {
    const QByteArray name = native(path);
    const Fd in(::open(name.constData(), kReadFlags));
    if (!in)
        return {(errno == ENOENT || errno == ENOTDIR) && isMissing(name)
                    ? FileRead::Outcome::Missing
                    : FileRead::Outcome::Unreadable,
                {}};
    std::optional<std::string> bytes = readOpen(in.get(), maxBytes);
    if (!bytes)
        return {FileRead::Outcome::Unreadable, {}};
    return {FileRead::Outcome::Read, std::move(*bytes)};
}

std::optional<std::string> readWholeFile(const QString& path, qint64 maxBytes) {
    FileRead read = readRegularFile(path, maxBytes);
    if (read.outcome != FileRead::Outcome::Read)
        return std::nullopt;
    return std::move(read.bytes);
}

bool writeFileAtomically(const QString& path, std::string_view bytes) {
    const QFileInfo info(path);
    return writeDataFile(info.path(), info.fileName(), bytes);
}

bool writeFileThroughLinks(const QString& path, std::span<const std::string_view> pieces) {
    const QByteArray name = native(path);
    QString target = path;
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        const std::unique_ptr<char, decltype(&std::free)> resolved(
            ::realpath(name.constData(), nullptr), &std::free);
        if (!resolved)
            return false;
        target = QFile::decodeName(resolved.get());
    }
    const QFileInfo where(target);
    std::optional<Place> place = placeInside(where.path(), where.fileName());
    return place && replaceAt(place->folder.get(), place->leaf, pieces);
}

std::optional<qint64> fileSize(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return std::nullopt;
    return info.size();
}

bool writeDataFile(const QString& directory, const QString& relative, std::string_view bytes) {
    std::optional<Place> place = placeInside(directory, relative);
    const std::string_view pieces[] = {bytes};
    return place && replaceAt(place->folder.get(), place->leaf, pieces);
}

std::optional<std::string> readDataFile(const QString& directory, const QString& relative,
                                        qint64 maxBytes) {
    const std::optional<Place> place = placeInside(directory, relative);
    if (!place)
        return std::nullopt;
    const Fd in(::openat(place->folder.get(), place->leaf.c_str(), kReadFlags | O_NOFOLLOW));
    if (!in)
        return std::nullopt;
    return readOpen(in.get(), maxBytes);
}

std::optional<qint64> dataFileSize(const QString& directory, const QString& relative) {
    const std::optional<Place> place = placeInside(directory, relative);
    struct stat info {};
    if (!place ||
        ::fstatat(place->folder.get(), place->leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode))
        return std::nullopt;
    return qint64(info.st_size);
}
