#include "Tmpfs.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

Tmpfs::Tmpfs(qint64 bytes) {
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    mounted_ = dir_.isValid() && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(),
                                         "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0;
}

Tmpfs::~Tmpfs() {
    if (mounted_)
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

qint64 Tmpfs::fill(const QString& name) const {
    const int fd = ::open(QFile::encodeName(dir_.filePath(name)).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return 0;
    const QByteArray block(64 * 1024, 'x');
    qint64 total = 0;
    // Down to single bytes, so that not even a small write finds room afterwards.
    for (qsizetype size = block.size(); size > 0;) {
        const ssize_t written = ::write(fd, block.constData(), size_t(size));
        if (written > 0)
            total += written;
        else if (written < 0 && errno != EINTR)
            size /= 2;
    }
    ::close(fd);
    return total;
}
