#include "settings/LibraryFile.h"

#include "catalogue/FileIo.h"
#include "settings/ProgrammeLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <algorithm>
#include <vector>

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

std::optional<QJsonObject> parse(const QByteArray& bytes, qint64 limit) {
    if (bytes.size() > limit)
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
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<QByteArray> content(const QJsonObject& root, qint64 limit) {
    QByteArray bytes = serialise(root);
    if (parse(bytes, limit))
        return bytes;
    // What each other field adds to the compact whole: "name":value and a comma.
    struct Field {
        QString name;
        qint64 bytes = 0;
    };
    std::vector<Field> others;
    for (auto field = root.constBegin(); field != root.constEnd(); ++field) {
        if (!ProgrammeLibrary::isOwnField(field.key()))
            others.push_back(
                {field.key(), serialise(QJsonObject{{field.key(), field.value()}}).size() - 1});
    }
    std::stable_sort(others.begin(), others.end(),
                     [](const Field& a, const Field& b) { return a.bytes > b.bytes; });
    QJsonObject fitted = root;
    qint64 size = bytes.size();
    for (const Field& field : others) {
        if (size <= limit)
            break;
        fitted.remove(field.name);
        size -= field.bytes;
    }
    bytes = serialise(fitted);
    if (parse(bytes, limit))
        return bytes;
    // Refused for something other than its size: none of the other fields is worth the lists.
    for (const Field& field : others)
        fitted.remove(field.name);
    bytes = serialise(fitted);
    if (parse(bytes, limit))
        return bytes;
    return std::nullopt;
}

bool write(const QString& path, const QJsonObject& root) {
    const std::optional<QByteArray> bytes = content(root);
    return bytes &&
           writeFileAtomically(path, std::string_view(bytes->constData(), size_t(bytes->size())));
}

} // namespace library_file
