#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// The real station binary on a free loopback port, for tests that need real HTTP.
class StationProcess {
  public:
    explicit StationProcess(const QStringList& arguments = {});
    ~StationProcess();
    bool started() const { return !address_.isEmpty(); }
    QString address() const { return address_; } // 127.0.0.1:PORT
    QStringList log();                           // every line printed so far
    // Polls the log until a line contains `text`; the line, or nullopt at the deadline.
    std::optional<QString> waitForLog(const QString& text, int timeoutMs);

  private:
    QProcess process_;
    QString address_;
    QStringList lines_;
    QByteArray partial_;
};

// The real viewer, copied with the features text into a fresh folder, as a user would install it.
// Installed: laid out as a package installs it (prefix/bin, prefix/share/velmora-tv), with the
// data home (XDG_DATA_HOME) in the same fresh folder.
class ViewerProcess {
  public:
    enum class Layout { Portable, Installed };
    explicit ViewerProcess(Layout layout = Layout::Portable);
    // Another start of the same copy, on the same files, recording its events in `traceName`
    // beside the copy's own record.
    ViewerProcess(const ViewerProcess& copy, const QString& traceName);
    ~ViewerProcess();
    // Where the viewer is expected to keep its files.
    QString programDirectory() const;
    QString executable() const;
    // `extraEnvironment` ("NAME=value") comes on top of the usual settings and replaces them, a
    // bare "NAME" removes that variable; `arguments` are the viewer's command line. The viewer
    // has no session bus unless `extraEnvironment` names one (SessionBus::environment()).
    void start(const QString& stationAddress, const QStringList& extraEnvironment = {},
               const QStringList& arguments = {});
    // Where it is started from (set before start()); by default not its own folder.
    void setWorkingDirectory(const QString& path) { workingDirectory_ = path; }
    // Standard error goes to this file rather than the test's own (set before start()).
    void setStandardErrorFile(const QString& path) { errorFile_ = path; }
    QProcess& process() { return process_; }
    // Trace events as "<event>" with the time stripped; `times` gets the monotonic ms if given.
    QStringList events(QList<qint64>* times = nullptr) const;
    std::optional<QString> waitForEvent(const QString& prefix, int timeoutMs) const;
    // Presses a key (xdotool's name: "Return", "ctrl+q") in the window titled `title` (a
    // regular expression matched against the whole title), through
    // the X server as a user would.
    bool pressKeyIn(const QString& title, const QString& key) const;
    // Types keys into whatever has the keyboard now (a popup menu of the viewer's, say), with no
    // window focused first.
    static bool typeKeys(const QStringList& keys);
    // Clicks at a point of the main window (its native window, menu bar included), as a user
    // would with the mouse, once the viewer has reported that window shown. False when the click
    // provably never reached the window (it was not shown in time, or the X server refused).
    bool clickInMainWindow(int x, int y, int timeoutMs = 60000) const;
    // Clicks once at a point of the main window and waits for the trace event that starts with
    // `prefix`. Clicks again only when a click provably did not land; the event, or nullopt.
    std::optional<QString> clickAndWaitFor(int x, int y, const QString& prefix,
                                           int timeoutMs) const;
    // This viewer's own window of that title (a regular expression matched against the whole
    // title): whether it is shown now; waiting until it is (false at the deadline); a left click
    // at a point of it, raised above any other window first.
    bool windowShown(const QString& title) const;
    bool waitForWindow(const QString& title, int timeoutMs) const;
    bool clickIn(const QString& title, int x, int y) const;
    int waitForExit(int timeoutMs); // exit code, or -1 if it did not end in time
    // Presses `key` in the window titled `title` until the viewer ends (a window that has just
    // been mapped may not take the first key yet); the exit code, or -1.
    int endWithKey(const QString& title, const QString& key, int timeoutMs);
    void kill();

  private:
    // xdotool's search for it; `wait`: until it is there.
    QStringList ownWindow(const QString& title, bool wait = false) const;
    std::shared_ptr<QTemporaryDir> dir_;
    Layout layout_;
    QString traceName_ = QStringLiteral("trace.log");
    QString workingDirectory_;
    QString errorFile_;
    QProcess process_;
};
