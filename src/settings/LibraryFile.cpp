#include "settings/LibraryFile.h"

#include "catalogue/FileIo.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

namespace library_file {

namespace {

// Far more names than anyone keeps beside the file; past them the file stays where it is.
constexpr int kAsideNames = 100;

bool setAside(const QString& path) {
    const QString bad = path + QStringLiteral(".bad");
    for (int n = 0; n < kAsideNames; ++n) {
        const QString aside = n == 0 ? bad : bad + QLatin1Char('.') + QString::number(n);
        // An earlier bad file gives way to this one: the newest is the one worth looking at.
        QFile::remove(aside);
        if (QFile::rename(path, aside))
            return true;
        // With the name free, the folder itself refused: no other name would do better.
        if (!QFileInfo::exists(aside))
            return false;
    }
    return false;
}

} // namespace

std::optional<QJsonObject> parse(const QByteArray& bytes) {
    if (bytes.size() > kMaxBytes)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QJsonObject root = document.object();
    if (!root.value(QStringLiteral("version")).isDouble())
        return std::nullopt;
    return root;
}

Read read(const QString& path) {
    // One byte over the limit tells a file at the limit from a larger one.
    const FileRead file = readRegularFile(path, kMaxBytes + 1);
    if (file.outcome == FileRead::Outcome::Missing)
        return {};
    if (file.outcome == FileRead::Outcome::Read) {
        if (std::optional<QJsonObject> root = parse(QByteArray::fromStdString(file.bytes)))
            return {Read::Outcome::Read, *root};
    }
    setAside(path);
    return {Read::Outcome::SetAside, {}};
}

QByteArray serialise(const QJsonObject& root) {
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool write(const QString& path, const QJsonObject& root) {
    const QByteArray bytes = serialise(root);
    return writeFileAtomically(path, std::string_view(bytes.constData(), size_t(bytes.size())));
}

} // namespace library_file
