#include "settings/ViewerSettings.h"

#include "catalogue/FileIo.h"
#include "settings/LibraryFile.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <cmath>

namespace {

const QString kVersion = QStringLiteral("version");
const QString kVolume = QStringLiteral("volume");
const QString kMuted = QStringLiteral("muted");
const QString kWindow = QStringLiteral("window");
const QString kX = QStringLiteral("x");
const QString kY = QStringLiteral("y");
const QString kWidth = QStringLiteral("width");
const QString kHeight = QStringLiteral("height");
const QString kMaximised = QStringLiteral("maximised");

// A whole number within [low, high]; a fraction, a string or anything else is not one.
std::optional<int> wholeNumber(const QJsonValue& value, int low, int high) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || number < low || number > high)
        return std::nullopt;
    return int(number);
}

std::optional<ViewerSettings::Window> windowFrom(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    constexpr int kMax = ViewerSettings::kMaxCoordinate;
    const std::optional<int> x = wholeNumber(object.value(kX), -kMax, kMax);
    const std::optional<int> y = wholeNumber(object.value(kY), -kMax, kMax);
    const std::optional<int> width = wholeNumber(object.value(kWidth), 1, kMax);
    const std::optional<int> height = wholeNumber(object.value(kHeight), 1, kMax);
    // A place is all four or none: half a rectangle says nothing about where the window was.
    if (!x || !y || !width || !height)
        return std::nullopt;
    const QJsonValue maximised = object.value(kMaximised);
    return ViewerSettings::Window{QRect(*x, *y, *width, *height),
                                  maximised.isBool() && maximised.toBool()};
}

QByteArray compact(const QJsonObject& root) {
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

} // namespace

ViewerSettings ViewerSettings::fromJson(const QJsonObject& root) {
    ViewerSettings settings;
    settings.volume = wholeNumber(root.value(kVolume), 0, 100).value_or(kDefaultVolume);
    const QJsonValue muted = root.value(kMuted);
    settings.muted = muted.isBool() && muted.toBool();
    settings.window = windowFrom(root.value(kWindow));
    return settings;
}

QJsonObject ViewerSettings::toJson(const QJsonObject& base) const {
    QJsonObject root = base;
    root.insert(kVersion, kFormatVersion);
    root.insert(kVolume, volume);
    root.insert(kMuted, muted);
    if (window) {
        root.insert(kWindow, QJsonObject{{kX, window->normal.x()},
                                         {kY, window->normal.y()},
                                         {kWidth, window->normal.width()},
                                         {kHeight, window->normal.height()},
                                         {kMaximised, window->maximised}});
    } else {
        root.remove(kWindow);
    }
    return root;
}

// The same rule as the library file's: a JSON object with a version, within the size limit.
std::optional<QJsonObject> ViewerSettings::parse(const QByteArray& bytes) {
    return library_file::parse(bytes, kMaxBytes);
}

QJsonObject ViewerSettings::readFile(const QString& path) {
    // One byte over the limit tells a file at the limit from a larger one.
    const FileRead file = readRegularFile(path, kMaxBytes + 1);
    if (file.outcome != FileRead::Outcome::Read)
        return {};
    return parse(QByteArray::fromStdString(file.bytes)).value_or(QJsonObject());
}

bool ViewerSettings::writeFile(const QString& path, const QJsonObject& base) const {
    QByteArray bytes = compact(toJson(base));
    // A newer version's fields are worth keeping, but not at the price of a file no start reads.
    if (!parse(bytes))
        bytes = compact(toJson());
    return writeFileAtomically(path, std::string_view(bytes.constData(), size_t(bytes.size())));
}
