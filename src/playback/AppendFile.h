#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// A file written from its end on, whose write failures say why: a full disk is not the same to
// the user as a folder that cannot be written. Unbuffered, so a failure shows at the write that
// met it rather than at a later flush.
class AppendFile {
  public:
    enum class Outcome {
        Written,
        DiskFull,   // no space (or quota) left, or the file is as large as it may be
        CannotWrite // anything else: no permission, not a regular file, an I/O error
    };

    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens `path`, creating it, and cuts it to `keep` bytes (at most its length) for writing
    // on from there. A link or anything but a regular file is not opened.
    Outcome open(const QString& path, qint64 keep);
    bool isOpen() const { return fd_ >= 0; }
    qint64 length() const { return length_; }
    Outcome append(QByteArrayView bytes);
    // Flushes the content to the disk, so that a name given to it afterwards names it whole.
    Outcome sync();
    void close();

    struct Head {
        QByteArray bytes;  // at most the count asked for
        qint64 length = 0; // of the whole file
    };
    // The first `count` bytes of a regular file; nullopt when there is none by that name (a link
    // or anything else in its place counts as none) or it cannot be read.
    static std::optional<Head> readHead(const QString& path, qint64 count);

  private:
    int fd_ = -1;
    qint64 length_ = 0;
};
