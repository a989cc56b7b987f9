#pragma once

#include <QWidget>

class VlcEngine;

// Paints the engine's newest picture, scaled to fit with its aspect kept, black around it.
class VideoView : public QWidget {
    Q_OBJECT
  public:
    explicit VideoView(VlcEngine* engine, QWidget* parent = nullptr);
    qint64 paintedFrames() const { return paintedFrames_; }

  Q_SIGNALS:
    void framePainted();
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    VlcEngine* engine_;
    qint64 paintedFrames_ = 0;
};
