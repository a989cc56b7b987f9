#include "ui/LibraryService.h"

#include "playback/PlaybackController.h"
#include "settings/LibraryFile.h"
#include "ui/RollDownMenuModel.h"

#include <QCoreApplication>
#include <QHash>
#include <utility>

using GroupKind = RollDownMenuModel::GroupKind;

LibraryService::LibraryService(RollDownMenuModel& menu, PlaybackController& playback,
                               QString filePath, QObject* parent)
    : QObject(parent), menu_(menu), playback_(playback), path_(std::move(filePath)) {
    connect(&playback, &PlaybackController::timesChanged, this, &LibraryService::onTimes);
    connect(&playback, &PlaybackController::statusChanged, this, &LibraryService::onStatus);
    // Quitting leaves the programme too; the file is written before the program ends.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &LibraryService::leave);
}

void LibraryService::load() {
    const library_file::Read read = library_file::read(path_);
    stored_ = read.root;
    library_ = ProgrammeLibrary::fromJson(stored_);
    showGroups();
}

std::optional<ProgrammeKey> LibraryService::keyOf(int item) const {
    const RollDownMenuModel::Item* source = menu_.item(menu_.sourceItem(item));
    if (!source)
        return std::nullopt;
    return ProgrammeKey{menu_.groupDisplayTitle(source->group), source->decoded.text};
}

std::optional<ProgrammeKey> LibraryService::favouriteShownAt(int item) const {
    const RollDownMenuModel::Item* entry = menu_.item(item);
    if (!entry || menu_.groupKind(entry->group) != GroupKind::Favourites ||
        entry->position >= int(library_.favourites().size()))
        return std::nullopt;
    return library_.favourites()[size_t(entry->position)];
}

void LibraryService::showGroups() {
    // Station items by their key, to find what a stored entry stands for today.
    QHash<QString, QHash<QString, int>> items;
    for (int index = 0; index < menu_.stationItemCount(); ++index) {
        const RollDownMenuModel::Item* item = menu_.item(index);
        items[menu_.groupDisplayTitle(item->group)].insert(item->decoded.text, index);
    }
    const auto entryFor = [&](const ProgrammeKey& key) {
        return RollDownMenuModel::LibraryGroup::Entry{
            key.title, items.value(key.category).value(key.title, -1)};
    };
    std::vector<RollDownMenuModel::LibraryGroup> groups;
    if (!library_.favourites().empty()) {
        RollDownMenuModel::LibraryGroup group{kFavouritesGroup, {}, GroupKind::Favourites};
        for (const ProgrammeKey& key : library_.favourites())
            group.entries.push_back(entryFor(key));
        groups.push_back(std::move(group));
    }
    RollDownMenuModel::LibraryGroup recent{kRecentGroup, {}, GroupKind::Recent};
    for (const ProgrammeKey& key : library_.recent()) {
        // Only catalogue programmes count; one gone from today's catalogue is not shown.
        const auto entry = entryFor(key);
        if (entry.source >= 0)
            recent.entries.push_back(entry);
    }
    if (!recent.entries.empty())
        groups.push_back(std::move(recent));
    menu_.setLibraryGroups(groups);
}

void LibraryService::save() {
    stored_ = library_.toJson(stored_);
    library_file::write(path_, stored_);
    Q_EMIT saved();
}

std::optional<LibraryService::ItemMenu> LibraryService::menuFor(int item) const {
    if (const std::optional<ProgrammeKey> key = keyOf(item))
        return ItemMenu{library_.isFavourite(*key), true};
    // A favourite that today's catalogue lacks can still be removed.
    if (favouriteShownAt(item))
        return ItemMenu{true, false};
    return std::nullopt;
}

void LibraryService::toggleFavourite(int item) {
    std::optional<ProgrammeKey> key = keyOf(item);
    if (!key)
        key = favouriteShownAt(item);
    if (!key)
        return;
    const bool changed =
        library_.isFavourite(*key) ? library_.removeFavourite(*key) : library_.addFavourite(*key);
    if (!changed)
        return;
    showGroups();
    save();
}

void LibraryService::chosen() {
    // A start-over asked for one choice does not carry over to another.
    startOver_ = false;
    counting_ = true;
}

qint64 LibraryService::startPosition(int item) {
    const std::optional<ProgrammeKey> key = keyOf(item);
    if (!key)
        return 0;
    if (std::exchange(startOver_, false)) {
        if (library_.forgetPosition(*key))
            save();
        return 0;
    }
    return library_.position(*key).value_or(0);
}

void LibraryService::started(int item, qint64 fromMs) {
    counting_ = false;
    playing_ = keyOf(item);
    if (!playing_)
        return;
    playingUrl_ = playback_.location();
    time_ = fromMs;
    length_ = 0;
    awaitingResume_ = fromMs > 0;
    library_.recordPlay(*playing_);
    showGroups();
    save();
    if (fromMs > 0) {
        const qint64 seconds = fromMs / 1000;
        playback_.showNotice(QStringLiteral("从 %1:%2 继续播放")
                                 .arg(seconds / 60, 2, 10, QLatin1Char('0'))
                                 .arg(seconds % 60, 2, 10, QLatin1Char('0')),
                             kNoticeMs);
    }
}

void LibraryService::onTimes(qint64 time, qint64 length) {
    // A cleared or stopped player reports nothing known; what was last known stays.
    if (!playing_ || length <= 0 || playback_.location() != playingUrl_)
        return;
    time_ = time;
    length_ = length;
    if (awaitingResume_ && time > 0) {
        awaitingResume_ = false;
        Q_EMIT resumedAt(time);
    }
}

void LibraryService::onStatus() {
    if (!playing_)
        return;
    const PlayerStatus status = playback_.status();
    if (playback_.location() != playingUrl_ || status == PlayerStatus::Idle ||
        status == PlayerStatus::Stopped || status == PlayerStatus::CannotPlay)
        leave();
}

void LibraryService::leave() {
    const std::optional<ProgrammeKey> left = std::exchange(playing_, std::nullopt);
    if (!left)
        return;
    const bool changed = ProgrammeLibrary::worthKeeping(time_, length_)
                             ? (library_.keepPosition(*left, time_), true)
                             : library_.forgetPosition(*left);
    if (changed)
        save();
}

void LibraryService::startOver() {
    if (counting_) {
        startOver_ = true;
        return;
    }
    if (!playing_)
        return;
    if (library_.forgetPosition(*playing_))
        save();
    playback_.showNotice(QString(), 0);
    if (playback_.length() > 0) {
        playback_.seekTo(0);
    } else {
        // Opened anew, so what plays stays the programme left at its start.
        const QString url = playingUrl_;
        playback_.open(url, 0, playback_.title());
        playingUrl_ = url;
    }
}
