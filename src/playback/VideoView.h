#pragma once

#include "playback/PictureScaler.h"

#include <QWidget>
#include <memory>

class PlaybackController;
class QPainter;
class ScreenArea;
class ScreenPresenter;

// Shows the newest picture of what plays, scaled to fit with its aspect kept, black around it.
// On X11 libVLC's video thread puts each picture on the screen itself; the view paints the same
// picture only when the toolkit repaints it.
class VideoView : public QWidget {
    Q_OBJECT
  public:
    explicit VideoView(PlaybackController& playback, QWidget* parent = nullptr);
    ~VideoView() override;
    // Pictures shown, whether painted here or put on the screen from the video thread.
    qint64 paintedFrames() const;
    // Whether the video thread puts the pictures on the screen.
    bool presentsDirectly() const { return presenter_ != nullptr; }

  Q_SIGNALS:
    // Each picture painted here; of those put on the screen from the video thread, only the
    // first of what plays (the rest are only counted).
    void framePainted();
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void pictureArrived();
    void retarget();
    bool scaleInto(QPainter& painter, const QImage& picture, const QRect& target,
                   const QRegion& region);

    PlaybackController& playback_;
    PictureScaler scaler_;
    std::shared_ptr<ScreenPresenter> presenter_;
    ScreenArea* area_ = nullptr;
    qint64 paintedFrames_ = 0;
};
