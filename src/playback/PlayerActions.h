#pragma once

#include <QList>
#include <QObject>

class PlaybackController;
class QAction;
class QKeyEvent;

// The player's commands as actions with their keys, the one place they are written: the transport
// bar, the player's context menu and the keys act through them, and they show what the playback
// object says (play or pause, muted, what can be done now). Their shortcuts are listed for the
// menus to show but never registered with the window: a key reaches them through handleKey only
// when the widget with the focus had no use for it.
class PlayerActions : public QObject {
    Q_OBJECT
  public:
    explicit PlayerActions(PlaybackController& playback, QObject* parent = nullptr);

    QAction* const playPause;   // Space, the play/pause media key
    QAction* const play;        // the play media key
    QAction* const pause;       // the pause media key
    QAction* const stop;        // the stop media key
    QAction* const retry;       // Enter: a failed address once more
    QAction* const seekBack;    // Left, 10 s
    QAction* const seekForward; // Right, 10 s
    QAction* const volumeUp;    // Up and the volume key
    QAction* const volumeDown;  // Down and the volume key
    QAction* const mute;        // M and the mute key; checked while muted
    QAction* const fullScreen;  // F, and Esc while on; checked while on
    QAction* const slower;      // [, down to 0.5×
    QAction* const faster;      // ], up to 2×
    QAction* const snapshot;    // S: the picture as PNG in the pictures folder

    // The actions of the context menu in order, nullptr standing for a separator.
    QList<QAction*> menuActions() const;
    // Triggers the action the key stands for. False when it stands for none, so that the window
    // can pass the key on; Ctrl, Alt and Meta combinations are never the player's.
    bool handleKey(const QKeyEvent* event);
    // Shows whether the player is in full screen; the view says so once it is.
    void showFullScreen(bool on);

  Q_SIGNALS:
    // The full-screen action was triggered: the view goes to or leaves full screen.
    void fullScreenRequested(bool on);
    // A snapshot was saved at `path`.
    void snapshotSaved(const QString& path);

  private:
    void showState();
    void takeSnapshot();

    PlaybackController& playback_;
};
