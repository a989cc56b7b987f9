#include "Processes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>

namespace {
const QString kBinDir = QStringLiteral(VELMORA_BIN_DIR);

// Lets queued events run while a test waits on another process.

void waitABit() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(20);
}
// A test that is killed, by a timeout say, takes its station and viewers with it.
void dieWithParent(QProcess& process) {
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}
} // namespace

StationProcess::StationProcess(const QStringList& arguments) {
    dieWithParent(process_);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(kBinDir + QStringLiteral("/velmora-station"),
                   QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
    if (const auto line = waitForLog(QStringLiteral("listening on "), 10000))
        address_ = line->mid(line->indexOf(QLatin1String("on ")) + 3).trimmed();
}

StationProcess::~StationProcess() {
    process_.terminate();
    if (!process_.waitForFinished(3000))
        process_.kill();
    process_.waitForFinished(3000);
}

QStringList StationProcess::log() {
    partial_ += process_.readAllStandardOutput();
    qsizetype end;
    while ((end = partial_.indexOf('\n')) >= 0) {
        lines_ << QString::fromUtf8(partial_.left(end));
        partial_.remove(0, end + 1);
    }
    return lines_;
}

std::optional<QString> StationProcess::waitForLog(const QString& text, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        for (const QString& line : log()) {
            if (line.contains(text))
                return line;
        }
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            return std::nullopt;
        process_.waitForReadyRead(50);
    }
}

ViewerProcess::ViewerProcess(Layout layout)
    : dir_(std::make_shared<QTemporaryDir>()), layout_(layout) {
    const QString data = layout == Layout::Installed
                             ? dir_->filePath(QStringLiteral("prefix/share/velmora-tv"))
                             : dir_->path();
    QDir().mkpath(QFileInfo(executable()).path());
    QDir().mkpath(data);
    QFile::copy(kBinDir + QStringLiteral("/velmora-tv"), executable());
    QFile::setPermissions(executable(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::copy(kBinDir + QStringLiteral("/软件特性.txt"), data + QStringLiteral("/软件特性.txt"));
}

ViewerProcess::ViewerProcess(const ViewerProcess& copy, const QString& traceName)
    : dir_(copy.dir_), layout_(copy.layout_), traceName_(traceName) {}

QString ViewerProcess::executable() const {
    return dir_->filePath(layout_ == Layout::Installed ? QStringLiteral("prefix/bin/velmora-tv")
                                                       : QStringLiteral("velmora-tv"));
}

QString ViewerProcess::programDirectory() const {
    return layout_ == Layout::Installed ? dir_->filePath(QStringLiteral("data/velmora-tv"))
                                        : dir_->path();
}

ViewerProcess::~ViewerProcess() {
    kill();
}

void ViewerProcess::start(const QString& stationAddress, const QStringList& extraEnvironment,
                          const QStringList& arguments) {
    QStringList env = QProcess::systemEnvironment();
    env << QStringLiteral("VELMORA_STATION=") + stationAddress
        << QStringLiteral("VELMORA_AD_URL=http://") + stationAddress + QStringLiteral("/ad/")
        << QStringLiteral("VELMORA_TRACE=") + dir_->filePath(traceName_)
        << QStringLiteral("VELMORA_AUDIO_OUTPUT=adummy");
    // Off the machine's session bus: a test viewer must not show in the desktop's media controls
    // or keep its screen on. A test that wants a bus gives one of its own.
    env.removeIf([](const QString& entry) {
        return entry.startsWith(QLatin1String("DBUS_SESSION_BUS_ADDRESS="));
    });
    env << QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/velmora-test-bus");
    if (layout_ == Layout::Installed)
        env << QStringLiteral("XDG_DATA_HOME=") + dir_->filePath(QStringLiteral("data"));
    // A name given twice would leave the choice to the C library; the extra one must win.
    for (const QString& extra : extraEnvironment) {
        const qsizetype equals = extra.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? extra + QLatin1Char('=') : extra.left(equals + 1);
        env.removeIf([&](const QString& entry) { return entry.startsWith(name); });
        if (equals >= 0)
            env << extra;
    }
    process_.setEnvironment(env);
    dieWithParent(process_);
    process_.setProcessChannelMode(errorFile_.isEmpty() ? QProcess::ForwardedChannels
                                                        : QProcess::ForwardedOutputChannel);
    if (!errorFile_.isEmpty())
        process_.setStandardErrorFile(errorFile_);
    // Started from elsewhere on purpose: the viewer must find its files beside itself.
    process_.setWorkingDirectory(workingDirectory_.isEmpty() ? QDir::tempPath()
                                                             : workingDirectory_);
    process_.start(executable(), arguments);
}

QStringList ViewerProcess::events(QList<qint64>* times) const {
    QFile file(dir_->filePath(traceName_));
    QStringList out;
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        if (space < 0)
            continue;
        out << line.mid(space + 1);
        if (times)
            *times << line.left(space).toLongLong();
    }
    return out;
}

std::optional<QString> ViewerProcess::waitForEvent(const QString& prefix, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        for (const QString& event : events()) {
            if (event.startsWith(prefix))
                return event;
        }
        if (deadline.hasExpired())
            return std::nullopt;
        waitABit();
    }
}

bool ViewerProcess::pressKeyIn(const QString& title, const QString& key) const {
    QProcess focus;
    focus.start(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--sync"),
                 QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                 QStringLiteral("^") + title + QStringLiteral("$"), QStringLiteral("windowfocus"),
                 QStringLiteral("--sync")});
    if (!focus.waitForFinished(15000) || focus.exitCode() != 0)
        return false;
    // A separate command: chained after a search, xdotool would send the key to that window as
    // a synthetic event, which leaves the keyboard's state behind (a Ctrl that stays down for the
    // next window); on its own it types on the keyboard, into the focused window.
    return typeKeys({key});
}

bool ViewerProcess::typeKeys(const QStringList& keys) {
    QProcess type;
    type.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys);
    const bool typed = type.waitForFinished(15000) && type.exitCode() == 0;
    // The release again, on its own: a key that ends the viewer (ctrl+q) takes its window away
    // between press and release, and the X server can then keep repeating it into the next
    // viewer that gets the focus.
    QProcess release;
    release.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("keyup")} + keys);
    release.waitForFinished(15000);
    return typed;
}

QStringList ViewerProcess::ownWindow(const QString& title, bool wait) const {
    QStringList search{QStringLiteral("search"), QStringLiteral("--all"),
                       QStringLiteral("--onlyvisible")};
    if (wait)
        search << QStringLiteral("--sync");
    return search << QStringLiteral("--pid") << QString::number(process_.processId())
                  << QStringLiteral("--name") << QStringLiteral("^") + title + QStringLiteral("$");
}

bool ViewerProcess::windowShown(const QString& title) const {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), ownWindow(title));
    return xdotool.waitForFinished(15000) && xdotool.exitCode() == 0;
}

bool ViewerProcess::waitForWindow(const QString& title, int timeoutMs) const {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), ownWindow(title, true));
    if (xdotool.waitForFinished(timeoutMs))
        return xdotool.exitCode() == 0;
    xdotool.kill();
    xdotool.waitForFinished(3000);
    return false;
}

bool ViewerProcess::clickIn(const QString& title, int x, int y) const {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  QStringList{ownWindow(title)}
                      << QStringLiteral("windowraise") << QStringLiteral("mousemove")
                      << QStringLiteral("--window") << QStringLiteral("%1") << QString::number(x)
                      << QString::number(y) << QStringLiteral("click") << QStringLiteral("1"));
    return xdotool.waitForFinished(15000) && xdotool.exitCode() == 0;
}

bool ViewerProcess::clickInMainWindow(int x, int y, int timeoutMs) const {
    // The window named by the viewer itself: searching by title races with every other window
    // the process makes and destroys meanwhile, and the title changes with the first choice.
    QString window;
    for (const QString& event : events()) {
        if (event.startsWith(QLatin1String("shown window=")))
            window = event.mid(13);
    }
    if (window.isEmpty()) {
        const auto shown = waitForEvent(QStringLiteral("shown window="), timeoutMs);
        if (!shown)
            return false;
        window = shown->mid(13);
    }
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                   QString::number(x), QString::number(y), QStringLiteral("click"),
                   QStringLiteral("1")});
    return xdotool.waitForFinished(15000) && xdotool.exitStatus() == QProcess::NormalExit &&
           xdotool.exitCode() == 0;
}

std::optional<QString> ViewerProcess::clickAndWaitFor(int x, int y, const QString& prefix,
                                                      int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (clickInMainWindow(x, y, int(deadline.remainingTime())))
            return waitForEvent(prefix, int(deadline.remainingTime()));
        waitABit();
    }
    return std::nullopt;
}

int ViewerProcess::waitForExit(int timeoutMs) {
    if (!process_.waitForFinished(timeoutMs))
        return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

int ViewerProcess::endWithKey(const QString& title, const QString& key, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        pressKeyIn(title, key);
        if (process_.waitForFinished(1000))
            return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    return -1;
}

void ViewerProcess::kill() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}
