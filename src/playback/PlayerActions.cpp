#include "playback/PlayerActions.h"

#include "playback/PlaybackController.h"
#include "playback/Snapshot.h"

#include <QAction>
#include <QKeyEvent>

namespace {

// `repeats`: whether a held key acts again at each repeat (seeking and the volume do; a toggle
// would flicker).
QAction* makeAction(QObject* parent, const QString& text, QList<QKeySequence> keys, bool repeats) {
    auto* action = new QAction(text, parent);
    action->setShortcuts(keys);
    // Shown in menus only: the keys come through handleKey, where the menu may keep them.
    action->setShortcutContext(Qt::WidgetShortcut);
    action->setAutoRepeat(repeats);
    action->setShortcutVisibleInContextMenu(true);
    return action;
}

} // namespace

PlayerActions::PlayerActions(PlaybackController& playback, QObject* parent)
    : QObject(parent), playPause(makeAction(this, QStringLiteral("播放"),
                                            {Qt::Key_Space, Qt::Key_MediaTogglePlayPause}, false)),
      play(makeAction(this, QStringLiteral("播放"), {Qt::Key_MediaPlay}, false)),
      pause(makeAction(this, QStringLiteral("暂停"), {Qt::Key_MediaPause}, false)),
      stop(makeAction(this, QStringLiteral("停止"), {Qt::Key_MediaStop}, true)),
      retry(makeAction(this, QStringLiteral("重试"), {Qt::Key_Return, Qt::Key_Enter}, false)),
      seekBack(makeAction(this, QStringLiteral("快退 10 秒"), {Qt::Key_Left}, true)),
      seekForward(makeAction(this, QStringLiteral("快进 10 秒"), {Qt::Key_Right}, true)),
      volumeUp(makeAction(this, QStringLiteral("增大音量"), {Qt::Key_Up, Qt::Key_VolumeUp}, true)),
      volumeDown(
          makeAction(this, QStringLiteral("减小音量"), {Qt::Key_Down, Qt::Key_VolumeDown}, true)),
      mute(makeAction(this, QStringLiteral("静音"), {Qt::Key_M, Qt::Key_VolumeMute}, false)),
      fullScreen(makeAction(this, QStringLiteral("全屏"), {Qt::Key_F}, false)),
      slower(makeAction(this, QStringLiteral("减速"), {Qt::Key_BracketLeft}, false)),
      faster(makeAction(this, QStringLiteral("加速"), {Qt::Key_BracketRight}, false)),
      snapshot(makeAction(this, QStringLiteral("截图"), {Qt::Key_S}, false)), playback_(playback) {
    mute->setCheckable(true);
    fullScreen->setCheckable(true);

    PlaybackController* p = &playback;
    connect(playPause, &QAction::triggered, p, &PlaybackController::togglePause);
    connect(play, &QAction::triggered, p, &PlaybackController::play);
    connect(pause, &QAction::triggered, p, &PlaybackController::pause);
    connect(stop, &QAction::triggered, p, &PlaybackController::stop);
    connect(retry, &QAction::triggered, p, &PlaybackController::play);
    connect(seekBack, &QAction::triggered, p, [p] { p->seekBy(-PlaybackController::kSeekStepMs); });
    connect(seekForward, &QAction::triggered, p,
            [p] { p->seekBy(PlaybackController::kSeekStepMs); });
    connect(volumeUp, &QAction::triggered, p,
            [p] { p->setVolume(p->volume() + PlaybackController::kVolumeStep); });
    connect(volumeDown, &QAction::triggered, p,
            [p] { p->setVolume(p->volume() - PlaybackController::kVolumeStep); });
    connect(mute, &QAction::triggered, p, &PlaybackController::setMuted);
    connect(fullScreen, &QAction::triggered, this, &PlayerActions::fullScreenRequested);
    connect(slower, &QAction::triggered, p, [p] { p->stepRate(-1); });
    connect(faster, &QAction::triggered, p, [p] { p->stepRate(1); });
    connect(snapshot, &QAction::triggered, this, &PlayerActions::takeSnapshot);

    connect(p, &PlaybackController::statusChanged, this, &PlayerActions::showState);
    connect(p, &PlaybackController::locationChanged, this, &PlayerActions::showState);
    connect(p, &PlaybackController::seekableChanged, this, &PlayerActions::showState);
    connect(p, &PlaybackController::mutedChanged, mute, &QAction::setChecked);
    showState();
    showFullScreen(false);
}

QList<QAction*> PlayerActions::menuActions() const {
    return {playPause, stop,     nullptr,    seekBack, seekForward, nullptr,  slower,    faster,
            nullptr,   volumeUp, volumeDown, mute,     nullptr,     snapshot, fullScreen};
}

bool PlayerActions::handleKey(const QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    for (QAction* action : findChildren<QAction*>(Qt::FindDirectChildrenOnly)) {
        for (const QKeySequence& key : action->shortcuts()) {
            if (key[0].key() != event->key())
                continue;
            // Enter means something to the player only when an address failed; otherwise it
            // belongs to others.
            if (action == retry && !retry->isEnabled())
                return false;
            if (!event->isAutoRepeat() || action->autoRepeat())
                action->trigger();
            return true;
        }
    }
    return false;
}

void PlayerActions::showFullScreen(bool on) {
    fullScreen->setChecked(on);
    fullScreen->setText(on ? QStringLiteral("退出全屏") : QStringLiteral("全屏"));
    // Esc only leaves full screen; elsewhere it is the window's.
    fullScreen->setShortcuts(on ? QList<QKeySequence>{Qt::Key_Escape, Qt::Key_F}
                                : QList<QKeySequence>{Qt::Key_F});
}

void PlayerActions::showState() {
    const PlayerStatus status = playback_.status();
    const bool hasMedia = playback_.hasMedia();
    playPause->setText(isRunning(status) ? QStringLiteral("暂停") : QStringLiteral("播放"));
    for (QAction* action : {playPause, play, pause, stop, slower, faster})
        action->setEnabled(hasMedia);
    retry->setEnabled(status == PlayerStatus::CannotPlay);
    seekBack->setEnabled(playback_.seekable());
    seekForward->setEnabled(playback_.seekable());
    mute->setChecked(playback_.isMuted());
}

// Always on offer: with nothing to take, the bar says why.
void PlayerActions::takeSnapshot() {
    const snapshot::Result result = snapshot::save(playback_, snapshot::picturesFolder());
    playback_.showNotice(result.text, PlaybackController::kNoticeMs);
    if (!result.path.isEmpty())
        Q_EMIT snapshotSaved(result.path);
}
