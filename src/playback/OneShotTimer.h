#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

// A single-shot timer behind an interface, for the player's waits that a user notices (the idle
// time before full screen hides its controls, the waits between reconnects): tests make their
// own and say when the time is up instead of waiting for it.
class OneShotTimer : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // Starts again from now when already running.
    virtual void start(std::chrono::milliseconds delay) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

  Q_SIGNALS:
    void timeout();
};

// Makes a timer owned by `parent`, named for tests to find. Empty: real timers.
using TimerFactory = std::function<OneShotTimer*(QObject* parent, const QString& name)>;

OneShotTimer* makeTimer(const TimerFactory& factory, QObject* parent, const QString& name);
