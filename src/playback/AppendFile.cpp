#include "playback/AppendFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

AppendFile::Outcome outcomeOf(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? AppendFile::Outcome::DiskFull
                                                                : AppendFile::Outcome::CannotWrite;
}

} // namespace

AppendFile::~AppendFile() {
    close();
}

AppendFile::Outcome AppendFile::open(const QString& path, qint64 keep) {
    close();
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return outcomeOf(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Outcome::CannotWrite;
    }
    const qint64 length = std::clamp<qint64>(keep, 0, info.st_size);
    if ((length < info.st_size && ::ftruncate(fd, length) != 0) ||
        ::lseek(fd, length, SEEK_SET) != length) {
        const int error = errno;
        ::close(fd);
        return outcomeOf(error);
    }
    fd_ = fd;
    length_ = length;
    return Outcome::Written;
}

AppendFile::Outcome AppendFile::append(QByteArrayView bytes) {
    if (fd_ < 0)
        return Outcome::CannotWrite;
    const char* at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, at, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return outcomeOf(errno);
        }
        if (written == 0)
            return Outcome::DiskFull;
        at += written;
        left -= written;
        length_ += written;
    }
    return Outcome::Written;
}

AppendFile::Outcome AppendFile::sync() {
    if (fd_ < 0)
        return Outcome::CannotWrite;
    return ::fsync(fd_) == 0 ? Outcome::Written : outcomeOf(errno);
}

std::optional<AppendFile::Head> AppendFile::readHead(const QString& path, qint64 count) {
    const QByteArray native = QFile::encodeName(path);
    // Never waits on a FIFO that someone put in the file's place.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    Head head;
    head.length = info.st_size;
    head.bytes.resize(qsizetype(std::clamp<qint64>(count, 0, info.st_size)));
    qint64 done = 0;
    while (done < head.bytes.size()) {
        const ssize_t got =
            ::pread(fd, head.bytes.data() + done, size_t(head.bytes.size() - done), done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    ::close(fd);
    if (done < head.bytes.size())
        return std::nullopt;
    return head;
}

void AppendFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    length_ = 0;
}
