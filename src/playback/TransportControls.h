#pragma once

#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <functional>

// The transport bar's controls as the keyboard and a screen reader meet them. Each is reached
// with Tab, never by a click (the keyboard stays where it was when the mouse is used), and the
// player's keys keep working through them.

// A button: Space presses it; the arrows go on to the player (seek, volume) instead of moving
// the focus along the bar as a plain button's do.
class TransportButton : public QToolButton {
    Q_OBJECT
  public:
    explicit TransportButton(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A slider: the arrows, Page Up/Down, Home and End move it, which seeks or sets the volume as the
// player's own keys do. It says its value in words ("02:15 / 40:00", "55%") and tells them anew
// whenever the user moves it, not while it follows what plays.
class TransportSlider : public QSlider {
    Q_OBJECT
  public:
    using Words = std::function<QString(const QSlider&)>;
    explicit TransportSlider(Words words, QWidget* parent = nullptr);

    QString valueText() const { return words_(*this); }

  private:
    Words words_;
};

// The status text: a status bar that announces what it is given, as a notification coming to show.
class StatusLabel : public QLabel {
    Q_OBJECT
  public:
    explicit StatusLabel(QWidget* parent = nullptr);

    // Tells a listener `text` now, the same text again too.
    void announce(const QString& text);
    // What was last announced; empty before the first announcement.
    const QString& announced() const { return announced_; }

  private:
    QString announced_;
};
