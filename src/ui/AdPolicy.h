#pragma once

#include <QtGlobal>
#include <deque>

class QUrl;

// What the advertisement page may do, as rules without the web engine. The page comes from a
// server we do not control; the view follows these rules whatever the page asks.

// Only the web's own schemes: no file:, no browser-internal pages, no hand-off to other programs.
bool isWebAddress(const QUrl& url);

// At most `allowed` navigations in any window of `windowMs`, so that a page that reloads itself
// (a meta refresh of 0, a script) settles instead of spinning. Times are any monotonic clock's.
class NavigationBudget {
  public:
    explicit NavigationBudget(int allowed = 6, qint64 windowMs = 60000);
    // True, and counted, when another navigation fits at `nowMs`.
    bool take(qint64 nowMs);

  private:
    int allowed_;
    qint64 windowMs_;
    std::deque<qint64> taken_;
};

// What the render process holds of its own, in KiB, from the text of /proc/PID/status: its
// anonymous memory (script heaps, typed arrays, canvases, DOM, WebAssembly memory) and the shared
// memory it draws into. Mapped files (the engine's code, fonts) are left out: they are the same
// for every page. -1 when the text has neither line (the process is gone).
qint64 rendererHeldKiB(const QByteArray& status);
