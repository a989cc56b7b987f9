#pragma once

#include <QObject>
#include <memory>

class MainWindow;
class MprisService;
class OpenRequests;
class PlaybackController;
class ScreenSaverInhibitor;

// The viewer on the desktop's session bus: the media controls (MPRIS2) and the screen kept on while
// a video plays. Without a session bus the viewer plays as it always did, and the record of events
// says so.
class DesktopSession : public QObject {
    Q_OBJECT
  public:
    DesktopSession(PlaybackController& playback, MainWindow& window, OpenRequests& opens);
    ~DesktopSession() override;

  private:
    std::unique_ptr<MprisService> mpris_;
    std::unique_ptr<ScreenSaverInhibitor> inhibitor_;
};
