#include "settings/ProgrammeLibrary.h"

#include <QJsonArray>
#include <algorithm>

namespace {

const QString kVersion = QStringLiteral("version");
const QString kFavourites = QStringLiteral("favourites");
const QString kRecent = QStringLiteral("recent");
const QString kPositions = QStringLiteral("positions");
const QString kCategory = QStringLiteral("category");
const QString kTitle = QStringLiteral("title");
const QString kMs = QStringLiteral("ms");

std::optional<ProgrammeKey> keyFrom(const QJsonValue& value) {
    const QJsonObject entry = value.toObject();
    const QJsonValue category = entry.value(kCategory);
    const QJsonValue title = entry.value(kTitle);
    if (!category.isString() || !title.isString())
        return std::nullopt;
    ProgrammeKey key{category.toString(), title.toString()};
    if (!ProgrammeLibrary::isKeepable(key))
        return std::nullopt;
    return key;
}

QJsonObject keyTo(const ProgrammeKey& key) {
    return QJsonObject{{kCategory, key.category}, {kTitle, key.title}};
}

// A list read from the file keeps each key once, the first time it appears.
std::vector<ProgrammeKey> keysFrom(const QJsonValue& value, int limit) {
    std::vector<ProgrammeKey> keys;
    for (const QJsonValue& entry : value.toArray()) {
        if (int(keys.size()) >= limit)
            break;
        const std::optional<ProgrammeKey> key = keyFrom(entry);
        if (key && std::find(keys.begin(), keys.end(), *key) == keys.end())
            keys.push_back(*key);
    }
    return keys;
}

QJsonArray keysTo(const std::vector<ProgrammeKey>& keys) {
    QJsonArray array;
    for (const ProgrammeKey& key : keys)
        array.append(keyTo(key));
    return array;
}

} // namespace

ProgrammeLibrary ProgrammeLibrary::fromJson(const QJsonObject& root) {
    ProgrammeLibrary library;
    library.favourites_ = keysFrom(root.value(kFavourites), kMaxFavourites);
    library.recent_ = keysFrom(root.value(kRecent), kMaxRecent);
    for (const QJsonValue& value : root.value(kPositions).toArray()) {
        const std::optional<ProgrammeKey> key = keyFrom(value);
        const QJsonValue ms = value.toObject().value(kMs);
        // Milliseconds within a day's length of video; anything else is no position. Taken as
        // whole milliseconds first: a fraction below one would be a position at 0.
        if (!key || !ms.isDouble() || !(ms.toDouble() >= 1 && ms.toDouble() <= 86'400'000.0))
            continue;
        library.keepPosition(*key, qint64(ms.toDouble()));
    }
    return library;
}

QJsonObject ProgrammeLibrary::toJson(const QJsonObject& base) const {
    QJsonObject root = base;
    root.insert(kVersion, kFormatVersion);
    root.insert(kFavourites, keysTo(favourites_));
    root.insert(kRecent, keysTo(recent_));
    QJsonArray positions;
    for (const Position& position : positions_) {
        QJsonObject entry = keyTo(position.key);
        entry.insert(kMs, double(position.ms));
        positions.append(entry);
    }
    root.insert(kPositions, positions);
    return root;
}

bool ProgrammeLibrary::isOwnField(const QString& name) {
    return name == kVersion || name == kFavourites || name == kRecent || name == kPositions;
}

bool ProgrammeLibrary::isKeepable(const ProgrammeKey& key) {
    return !key.title.isEmpty() && key.title.size() <= kMaxNameLength &&
           key.category.size() <= kMaxNameLength;
}

bool ProgrammeLibrary::isFavourite(const ProgrammeKey& key) const {
    return std::find(favourites_.begin(), favourites_.end(), key) != favourites_.end();
}

bool ProgrammeLibrary::addFavourite(const ProgrammeKey& key) {
    if (!isKeepable(key) || isFavourite(key) || int(favourites_.size()) >= kMaxFavourites)
        return false;
    favourites_.push_back(key);
    return true;
}

bool ProgrammeLibrary::removeFavourite(const ProgrammeKey& key) {
    const auto found = std::find(favourites_.begin(), favourites_.end(), key);
    if (found == favourites_.end())
        return false;
    favourites_.erase(found);
    return true;
}

void ProgrammeLibrary::recordPlay(const ProgrammeKey& key) {
    if (!isKeepable(key))
        return;
    std::erase(recent_, key);
    recent_.insert(recent_.begin(), key);
    if (int(recent_.size()) > kMaxRecent)
        recent_.resize(size_t(kMaxRecent));
}

std::optional<qint64> ProgrammeLibrary::position(const ProgrammeKey& key) const {
    for (const Position& position : positions_) {
        if (position.key == key)
            return position.ms;
    }
    return std::nullopt;
}

void ProgrammeLibrary::keepPosition(const ProgrammeKey& key, qint64 ms) {
    if (!isKeepable(key))
        return;
    forgetPosition(key);
    positions_.push_back({key, ms});
    if (int(positions_.size()) > kMaxPositions)
        positions_.erase(positions_.begin());
}

bool ProgrammeLibrary::forgetPosition(const ProgrammeKey& key) {
    return std::erase_if(positions_, [&](const Position& p) { return p.key == key; }) > 0;
}
