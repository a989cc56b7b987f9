#include "settings/DownloadList.h"

#include "settings/ProgrammeLibrary.h"

#include <QJsonObject>
#include <QSet>
#include <algorithm>

namespace {

const QString kCategory = QStringLiteral("category");
const QString kTitle = QStringLiteral("title");
const QString kState = QStringLiteral("state");
const QString kReason = QStringLiteral("reason");
const QString kLength = QStringLiteral("length");
const QString kCopy = QStringLiteral("copy");

// Most file systems take names of up to 255 bytes; the name's end (" (999).wmv.part") and the
// UTF-8 of what comes before it stay within that.
constexpr qsizetype kMaxNameBytes = 255;
const QString kExtension = QStringLiteral(".wmv");
// Past this a length is no file's, and JSON numbers are no longer exact.
constexpr double kMaxLength = 9007199254740992.0;

const QString& stateName(DownloadEntry::State state) {
    static const QString names[] = {QStringLiteral("queued"), QStringLiteral("failed"),
                                    QStringLiteral("done")};
    return names[int(state)];
}

std::optional<DownloadEntry::State> stateFrom(const QString& name) {
    for (const DownloadEntry::State state :
         {DownloadEntry::State::Queued, DownloadEntry::State::Failed, DownloadEntry::State::Done}) {
        if (stateName(state) == name)
            return state;
    }
    return std::nullopt;
}

bool isReasonCode(const QString& reason) {
    return reason.size() <= DownloadList::kMaxReasonLength &&
           std::all_of(reason.begin(), reason.end(), [](QChar c) {
               return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-';
           });
}

// `name` with what a file name must not hold replaced, cut so that its UTF-8 takes at most
// `bytes`, never inside a character.
QString safeName(const QString& name, qsizetype bytes) {
    QString safe;
    qsizetype used = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        QString piece(name.at(i));
        if (name.at(i).isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate())
            piece += name.at(++i);
        else if (name.at(i).isSurrogate() || name.at(i) < u' ' || name.at(i) == u'\x7f' ||
                 name.at(i) == u'/' || name.at(i) == u'\\')
            piece = QStringLiteral("_");
        used += piece.toUtf8().size();
        if (used > bytes)
            break;
        safe += piece;
    }
    // Neither hidden nor "." or "..", nor nothing at all.
    if (safe.isEmpty() || safe.startsWith(u'.'))
        safe.prepend(u'_');
    return safe;
}

} // namespace

DownloadList DownloadList::fromJson(const QJsonValue& value) {
    DownloadList list;
    QSet<QString> paths;
    for (const QJsonValue& item : value.toArray()) {
        if (list.isFull())
            break;
        const QJsonObject object = item.toObject();
        const QJsonValue category = object.value(kCategory);
        const QJsonValue title = object.value(kTitle);
        const std::optional<DownloadEntry::State> state =
            stateFrom(object.value(kState).toString());
        if (!category.isString() || !title.isString() || !state)
            continue;
        DownloadEntry entry{{category.toString(), title.toString()}, *state};
        const double copy = object.value(kCopy).toDouble(1);
        const double length = object.value(kLength).toDouble(0);
        if (!ProgrammeLibrary::isKeepable(entry.key) || list.find(entry.key) ||
            !(copy >= 1 && copy <= kMaxCopy) || !(length >= 0 && length <= kMaxLength))
            continue;
        entry.copy = int(copy);
        entry.length = qint64(length);
        if (entry.state == DownloadEntry::State::Failed) {
            const QString reason = object.value(kReason).toString();
            entry.reason = isReasonCode(reason) ? reason : QString();
        }
        // Two entries naming one file: removing one would take the other's file.
        const QString path = relativePath(entry);
        if (paths.contains(path))
            continue;
        paths.insert(path);
        list.entries_.push_back(std::move(entry));
    }
    return list;
}

QJsonArray DownloadList::toJson() const {
    QJsonArray array;
    for (const DownloadEntry& entry : entries_) {
        QJsonObject object{{kCategory, entry.key.category},
                           {kTitle, entry.key.title},
                           {kState, stateName(entry.state)}};
        if (entry.state == DownloadEntry::State::Failed && !entry.reason.isEmpty())
            object.insert(kReason, entry.reason);
        if (entry.length > 0)
            object.insert(kLength, double(entry.length));
        if (entry.copy > 1)
            object.insert(kCopy, entry.copy);
        array.append(object);
    }
    return array;
}

const DownloadEntry* DownloadList::find(const ProgrammeKey& key) const {
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const DownloadEntry& entry) { return entry.key == key; });
    return found == entries_.end() ? nullptr : &*found;
}

DownloadEntry* DownloadList::find(const ProgrammeKey& key) {
    return const_cast<DownloadEntry*>(std::as_const(*this).find(key));
}

bool DownloadList::add(const ProgrammeKey& key, int copy) {
    if (isFull() || find(key) || !ProgrammeLibrary::isKeepable(key) || copy < 1 || copy > kMaxCopy)
        return false;
    entries_.push_back(DownloadEntry{key, DownloadEntry::State::Queued, {}, 0, copy});
    return true;
}

bool DownloadList::remove(const ProgrammeKey& key) {
    return std::erase_if(entries_, [&](const DownloadEntry& entry) { return entry.key == key; }) >
           0;
}

QString DownloadList::folderName(const QString& category) {
    return safeName(category, kMaxNameBytes);
}

QString DownloadList::fileName(const QString& title, int copy) {
    static const qsizetype kEndBytes =
        (QStringLiteral(" (999)") + kExtension + kPartSuffix).toUtf8().size();
    QString name = safeName(title, kMaxNameBytes - kEndBytes);
    if (copy > 1)
        name += QStringLiteral(" (%1)").arg(copy);
    return name + kExtension;
}

QString DownloadList::relativePath(const DownloadEntry& entry) {
    return relativePath(entry.key, entry.copy);
}

QString DownloadList::relativePath(const ProgrammeKey& key, int copy) {
    return folderName(key.category) + QLatin1Char('/') + fileName(key.title, copy);
}
