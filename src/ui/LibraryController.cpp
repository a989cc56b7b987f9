#include "ui/LibraryController.h"

#include "playback/MediaPlayer.h"
#include "settings/LibraryFile.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QCoreApplication>
#include <QHash>
#include <QMenu>
#include <utility>

LibraryController::LibraryController(MainWindow& window, QString filePath, QObject* parent)
    : QObject(parent), window_(window), path_(std::move(filePath)) {
    RollDownMenu& menu = window.rollDownMenu();
    connect(&menu, &RollDownMenu::contextMenuRequested, this, &LibraryController::showContextMenu);
    // A start-over asked for one item does not carry over to another choice.
    connect(&menu, &RollDownMenu::itemChosen, this, [this] { startOver_ = false; });
    window.setStartPosition([this](int item) { return startPosition(item); });
    connect(&window, &MainWindow::programmeStarted, this, &LibraryController::onStarted);
    connect(&window, &MainWindow::startOverRequested, this, &LibraryController::onStartOver);
    MediaPlayer& player = window.player();
    connect(&player, &MediaPlayer::timesChanged, this, &LibraryController::onTimes);
    connect(&player, &MediaPlayer::statusChanged, this, &LibraryController::onStatus);
    // Quitting leaves the programme too; the file is written before the program ends.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &LibraryController::leave);
}

void LibraryController::load() {
    const library_file::Read read = library_file::read(path_);
    stored_ = read.root;
    library_ = ProgrammeLibrary::fromJson(stored_);
    showGroups();
}

std::optional<ProgrammeKey> LibraryController::keyOf(int item) const {
    const RollDownMenuModel& model = window_.rollDownMenu().model();
    const RollDownMenuModel::Item* source = model.item(model.sourceItem(item));
    if (!source)
        return std::nullopt;
    return ProgrammeKey{model.groupDisplayTitle(source->group), source->decoded.text};
}

void LibraryController::showGroups() {
    RollDownMenuModel& model = window_.rollDownMenu().model();
    // Station items by their key, to find what a stored entry stands for today.
    QHash<QString, QHash<QString, int>> items;
    for (int index = 0; index < model.stationItemCount(); ++index) {
        const RollDownMenuModel::Item* item = model.item(index);
        items[model.groupDisplayTitle(item->group)].insert(item->decoded.text, index);
    }
    const auto entryFor = [&](const ProgrammeKey& key) {
        return RollDownMenuModel::LibraryGroup::Entry{
            key.title, items.value(key.category).value(key.title, -1)};
    };
    std::vector<RollDownMenuModel::LibraryGroup> groups;
    if (!library_.favourites().empty()) {
        RollDownMenuModel::LibraryGroup group{kFavouritesGroup, {}};
        for (const ProgrammeKey& key : library_.favourites())
            group.entries.push_back(entryFor(key));
        groups.push_back(std::move(group));
    }
    RollDownMenuModel::LibraryGroup recent{kRecentGroup, {}};
    for (const ProgrammeKey& key : library_.recent()) {
        // Only catalogue programmes count; one gone from today's catalogue is not shown.
        const auto entry = entryFor(key);
        if (entry.source >= 0)
            recent.entries.push_back(entry);
    }
    if (!recent.entries.empty())
        groups.push_back(std::move(recent));
    model.setLibraryGroups(groups);
}

void LibraryController::save() {
    stored_ = library_.toJson(stored_);
    library_file::write(path_, stored_);
    Q_EMIT saved();
}

void LibraryController::toggleFavourite(int item) {
    const RollDownMenuModel& model = window_.rollDownMenu().model();
    std::optional<ProgrammeKey> key = keyOf(item);
    // A favourite that today's catalogue lacks can still be removed by its stored name.
    if (!key && model.item(item) && model.isLibraryGroup(model.item(item)->group)) {
        const RollDownMenuModel::Item* entry = model.item(item);
        if (entry->position < int(library_.favourites().size()) &&
            model.groupDisplayTitle(entry->group) == kFavouritesGroup)
            key = library_.favourites()[size_t(entry->position)];
    }
    if (!key)
        return;
    const bool changed =
        library_.isFavourite(*key) ? library_.removeFavourite(*key) : library_.addFavourite(*key);
    if (!changed)
        return;
    showGroups();
    save();
}

void LibraryController::playFromStart(int item) {
    const RollDownMenuModel::Item* found = window_.rollDownMenu().model().item(item);
    if (!found || !keyOf(item))
        return;
    window_.rollDownMenu().activate({found->group, found->position});
    startOver_ = true;
}

void LibraryController::showContextMenu(MenuRow row, const QPoint& globalPos) {
    if (row.isHeader())
        return;
    const RollDownMenuModel& model = window_.rollDownMenu().model();
    const int item = model.itemIndex(row.group, row.position);
    std::optional<ProgrammeKey> key = keyOf(item);
    const bool missingFavourite = !key && model.groupDisplayTitle(row.group) == kFavouritesGroup &&
                                  model.isLibraryGroup(row.group);
    if (!key && !missingFavourite)
        return;
    auto* menu = new QMenu(&window_.rollDownMenu());
    menu->setObjectName(QStringLiteral("libraryMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool favourite = missingFavourite || library_.isFavourite(*key);
    menu->addAction(favourite ? QStringLiteral("取消收藏") : QStringLiteral("加入收藏"), this,
                    [this, item] { toggleFavourite(item); });
    if (key)
        menu->addAction(QStringLiteral("从头播放"), this, [this, item] { playFromStart(item); });
    menu->popup(globalPos);
}

qint64 LibraryController::startPosition(int item) {
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

void LibraryController::onStarted(int item, qint64 fromMs) {
    playing_ = keyOf(item);
    if (!playing_)
        return;
    playingUrl_ = window_.player().URL();
    time_ = fromMs;
    length_ = 0;
    awaitingResume_ = fromMs > 0;
    library_.recordPlay(*playing_);
    showGroups();
    save();
    if (fromMs > 0)
        window_.player().showNotice(resumeText(fromMs), kNoticeMs);
}

void LibraryController::onTimes(qint64 time, qint64 length) {
    // A cleared or stopped player reports nothing known; what was last known stays.
    if (!playing_ || length <= 0 || window_.player().URL() != playingUrl_)
        return;
    time_ = time;
    length_ = length;
    if (awaitingResume_ && time > 0) {
        awaitingResume_ = false;
        Q_EMIT resumedAt(time);
    }
}

void LibraryController::onStatus() {
    if (!playing_)
        return;
    const PlayerStatus status = window_.player().status();
    if (window_.player().URL() != playingUrl_ || status == PlayerStatus::Idle ||
        status == PlayerStatus::Stopped || status == PlayerStatus::CannotPlay)
        leave();
}

void LibraryController::leave() {
    const std::optional<ProgrammeKey> left = std::exchange(playing_, std::nullopt);
    if (!left)
        return;
    const bool changed = ProgrammeLibrary::worthKeeping(time_, length_)
                             ? (library_.keepPosition(*left, time_), true)
                             : library_.forgetPosition(*left);
    if (changed)
        save();
}

void LibraryController::onStartOver() {
    // During the countdown the coming play starts at the beginning; while playing, it goes back.
    if (window_.countdown().remaining() > 0 && window_.countdown().step() > 0) {
        startOver_ = true;
        return;
    }
    if (!playing_)
        return;
    if (library_.forgetPosition(*playing_))
        save();
    MediaPlayer& player = window_.player();
    player.showNotice(QString(), 0);
    if (player.length() > 0) {
        player.seekTo(0);
    } else {
        const QString url = playingUrl_;
        player.setURL(url, 0);
        playingUrl_ = url;
    }
}

QString LibraryController::resumeText(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return QStringLiteral("从 %1:%2 继续播放")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
