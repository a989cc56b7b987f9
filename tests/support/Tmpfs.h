#pragma once

#include <QString>
#include <QTemporaryDir>

// A small file system of its own, mounted on a fresh folder for as long as the object lives: a
// disk that really fills. Mounting needs root, as CI has; mounted() tells whether it worked.
class Tmpfs {
  public:
    explicit Tmpfs(qint64 bytes);
    ~Tmpfs();
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    // Writes a file at `name` until the disk is full; the bytes written.
    qint64 fill(const QString& name) const;

  private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};
