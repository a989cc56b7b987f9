#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

class QLocalServer;
class QLocalSocket;

// One viewer per data folder. The viewer that keeps a folder holds a lock on a file in it for as
// long as it runs and listens for later starts; a later start finds the lock held, hands its file
// or address to that viewer and ends without touching the folder, so that two viewers never
// write the same files.
//
// The lock is the kernel's (flock), held by the open file: it goes with the process however that
// ends, so a viewer that was killed never keeps the next one out, and it needs no session bus.
// The listener is a local socket in the abstract namespace, named from the folder's canonical
// path; each side checks that the other is the same user.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // Beside the program's other files; removed by a viewer that ends normally.
    static inline const QString kLockFileName = QStringLiteral("velmora-tv.lock");
    // How long a later start waits for the keeping viewer to take its file: that viewer may be
    // busy starting.
    static constexpr std::chrono::milliseconds kPatience{10000};

    explicit SingleInstance(QString dataDirectory, QObject* parent = nullptr);
    // Gives the folder up: the listener first, then the lock file.
    ~SingleInstance() override;

    enum class Claim {
        Keeps,      // this start keeps the folder (or could not lock it and runs as before)
        HandedOver, // another viewer keeps it and has taken the locations
        NoAnswer,   // another viewer keeps it and did not take them within `patience`
    };
    // Takes the folder, or hands `locations` (none: only show the window) to the viewer that
    // keeps it.
    Claim claim(const QStringList& locations, std::chrono::milliseconds patience = kPatience);
    // For main(): the exit code when this start should end (0 once handed over, 1 with a
    // message when no one answered), nothing when it goes on as the folder's viewer.
    std::optional<int> claimOrHandOver(const QString& location);

    // The listener's name for a folder.
    static QString serverName(const QString& dataDirectory);

  Q_SIGNALS:
    // A later start's files and addresses; none when it only asked for the window.
    void handedOver(const QStringList& locations);

  private:
    enum class Lock { Taken, Held, Failed };
    Lock takeLock(QString& error);
    void listen();
    bool handOver(const QStringList& locations, std::chrono::milliseconds patience) const;
    void receive(QLocalSocket* socket);

    const QString directory_;
    const QString lockPath_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};
