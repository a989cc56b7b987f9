#pragma once

#include "playback/PictureScaler.h"

#include <QWidget>

class PlaybackController;
class QPainter;

// Paints the newest picture of what plays, scaled to fit with its aspect kept, black around it.
class VideoView : public QWidget {
    Q_OBJECT
  public:
    explicit VideoView(PlaybackController& playback, QWidget* parent = nullptr);
    qint64 paintedFrames() const { return paintedFrames_; }

  Q_SIGNALS:
    void framePainted();
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    bool scaleInto(QPainter& painter, const QImage& picture, const QRect& target,
                   const QRegion& region);

    PlaybackController& playback_;
    PictureScaler scaler_;
    qint64 paintedFrames_ = 0;
};
