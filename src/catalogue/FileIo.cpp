#include "catalogue/FileIo.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool writeFileAtomically(const QString& path, std::string_view bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<std::string> readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return std::string(content.constData(), size_t(content.size()));
}

std::optional<qint64> fileSize(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return std::nullopt;
    return info.size();
}
