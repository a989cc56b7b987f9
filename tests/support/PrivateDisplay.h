#pragma once

#include <QProcess>

// An X server of the test's own (Xvfb), made the DISPLAY of this process and of everything it
// starts: the viewers, xdotool. Keys typed on its keyboard and clicks at its pointer reach only the
// test's own windows, whatever else runs on the machine's shared display meanwhile (other GUI
// tests take the focus there). Make it before any window. The server ends with this process, also
// when it replaces itself with another program (tests/own_display.cpp runs every GUI and
// end-to-end test so).
class PrivateDisplay {
  public:
    PrivateDisplay();
    ~PrivateDisplay();
    bool started() const { return started_; }

  private:
    QProcess server_;
    bool started_ = false;
};
