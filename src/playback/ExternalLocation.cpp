#include "playback/ExternalLocation.h"

#include <QDir>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

namespace {

bool hasScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(text).hasMatch();
}

// "file:///a", and the "file:/a" some programs hand over.
bool isFileUrl(const QString& text) {
    return text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

QString pathOfFileUrl(const QString& text) {
    const QString path = QUrl(text, QUrl::TolerantMode).toLocalFile();
    return path.isEmpty() ? text : path;
}

} // namespace

QString locationFromArgument(const QString& argument, const QString& workingDirectory) {
    if (isFileUrl(argument))
        return pathOfFileUrl(argument);
    if (hasScheme(argument))
        return argument;
    return QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(argument));
}

QString locationFromDrop(const QMimeData& data) {
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
        if (url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty())
            return url.toString(QUrl::FullyEncoded);
    }
    if (!data.hasText())
        return QString();
    const QString line = data.text().section(QLatin1Char('\n'), 0, 0).trimmed();
    if (isFileUrl(line))
        return pathOfFileUrl(line);
    // A relative path means nothing here: it was relative to whatever it was dragged from.
    if (hasScheme(line) || QDir::isAbsolutePath(line))
        return line;
    return QString();
}
