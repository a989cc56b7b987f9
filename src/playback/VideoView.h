#pragma once

#include <QWidget>

class PlaybackController;

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
    PlaybackController& playback_;
    qint64 paintedFrames_ = 0;
};
