#include "app/DataLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kFeaturesText = QStringLiteral("软件特性.txt");
const QString kDataFolderName = QStringLiteral("velmora-tv");

// The data home may hold private things; folders made for it are the user's alone.
void makePrivatePath(const QString& path) {
    QString partial;
    for (const QString& part : QDir::cleanPath(path).split(QLatin1Char('/'))) {
        partial += part;
        if (!partial.isEmpty())
            ::mkdir(QFile::encodeName(partial).constData(), 0700);
        partial += QLatin1Char('/');
    }
}

} // namespace

QString chooseDataDirectory(const DataLocationInputs& inputs) {
    if (inputs.executableDirWritable && !inputs.installedCopy)
        return inputs.executableDir;
    QString base;
    if (QDir::isAbsolutePath(inputs.xdgDataHome))
        base = inputs.xdgDataHome;
    else if (QDir::isAbsolutePath(inputs.home))
        base = inputs.home + QStringLiteral("/.local/share");
    else
        return inputs.executableDir; // nowhere better to go; the files then simply fail
    return QDir::cleanPath(base + QLatin1Char('/') + kDataFolderName);
}

QString chooseFeaturesText(const QString& programDirectory, const QString& installedDataDir,
                           const std::function<bool(const QString&)>& exists) {
    const QString beside = programDirectory + QLatin1Char('/') + kFeaturesText;
    const QString installed = installedDataDir + QLatin1Char('/') + kFeaturesText;
    if (!exists(beside) && exists(installed))
        return installed;
    return beside;
}

QString installedDataDirectory(const QString& executableDir) {
    return QDir::cleanPath(executableDir + QStringLiteral("/" VELMORA_BIN_TO_DATA));
}

QString programDataDirectory() {
    static const QString directory = [] {
        const QString executableDir = QCoreApplication::applicationDirPath();
        const DataLocationInputs inputs{
            .executableDir = executableDir,
            .executableDirWritable =
                ::access(QFile::encodeName(executableDir).constData(), W_OK) == 0,
            .installedCopy = QFileInfo::exists(installedDataDirectory(executableDir) +
                                               QLatin1Char('/') + kFeaturesText),
            .xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME"),
            .home = QDir::homePath(),
        };
        const QString chosen = chooseDataDirectory(inputs);
        if (chosen != executableDir)
            makePrivatePath(chosen);
        return chosen;
    }();
    return directory;
}

QString featuresTextPath(const QString& programDirectory) {
    return chooseFeaturesText(programDirectory,
                              installedDataDirectory(QCoreApplication::applicationDirPath()),
                              [](const QString& path) { return QFileInfo::exists(path); });
}
