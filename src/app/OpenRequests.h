#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class MainWindow;
class SingleInstance;

// Files and addresses from outside the window: the command line's, and those that later starts
// hand over. They play as 打开 plays a chosen file, but only once the catalogue is in, so that a
// start with a file loads, writes and shows exactly what a plain start does; until then only the
// newest waits. A later start also brings the window to the front; the desktop's media controls
// (OpenUri) do not.
class OpenRequests : public QObject {
  public:
    OpenRequests(MainWindow& window, SingleInstance& instance, const QString& commandLine);

    // The catalogue is in and the window shows: what waits plays now, what comes later at once.
    void ready();
    // A file or address from within the program, the media controls' say: played as the command
    // line's is.
    void open(const QString& location);

  private:
    void handedOver(const QStringList& locations);
    void play(const QString& location);

    MainWindow& window_;
    QString waiting_;
    bool ready_ = false;
};
