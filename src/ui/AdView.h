#pragma once

#include "ui/AdPolicy.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>

class QWebEngineProfile;

// The advertisement page (the page of 广告1). It comes from a server we do not control and is
// treated as untrusted: JavaScript dialogs do nothing and answer as if dismissed, pop-up windows
// and file choosers are refused, only http and https navigations go, and only a handful a minute,
// no permission, fullscreen or protocol-handler request is granted. A render process that stops
// answering, or that holds more than kHeldLimitMiB, is ended, and an ended one is not restarted:
// the panel stays blank, and nothing the page does reaches the countdown.
//
// The page is only seen during a countdown, and has a render process only while it can be seen
// (and from the start until the first countdown is over or something plays without one, so that
// the first countdown shows it at once):
// at rest its process is ended, with everything the page took, and waking loads the start page
// anew in a new one.
class AdPage : public QWebEnginePage {
    Q_OBJECT
  public:
    // How long the render process may go without answering before it is ended.
    static constexpr int kUnresponsiveMs = 5000;
    // What the render process may hold of its own (rendererHeldKiB) before it is ended. An
    // advertisement needs a few tens of MiB; 64 of them go to the script heap alone.
    static constexpr qint64 kHeldLimitMiB = 256;

    explicit AdPage(QWebEngineProfile* profile, QObject* parent = nullptr);
    ~AdPage() override;

    // Loads `address`, the page loaded anew at every wake().
    void start(const QUrl& address);
    // The page is no longer seen: its render process is ended.
    void rest();
    // The page is seen again: the start page loads in a new render process, unless the last one
    // was ended for what the page did.
    void wake();
    bool resting() const { return life_ == Life::Resting; }

    // True once the render process has ended for good: by itself, because it stopped answering
    // or because it held too much. Not when the page rests.
    bool rendererEnded() const { return life_ == Life::Ended; }

  Q_SIGNALS:
    void rendererEndedChanged();
    // What the page tried and what became of it ("ad <kind> <detail>"), a few times per kind.
    void reported(const QString& event);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& origin, const QString& message) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;

  private:
    enum class Life { Live, Resting, Ended };

    void refuseRequests();
    void checkRenderer();
    // Ends the render process for what the page did; the page stays ended.
    void endRenderer(qint64 pid, const QString& why, const QString& detail);
    void OnRendererStarted(qint64 pid);
    void OnRendererEnded(RenderProcessTerminationStatus status, int exitCode);
    // Reports what the page tried, a few times per kind: a looping page must not flood the record.
    void note(const QString& kind, const QString& detail = {});

    struct Liveness {
        qint64 lastAnswerMs = 0; // on `clock_`
    };
    QElapsedTimer clock_;
    QUrl address_;
    NavigationBudget navigations_;
    std::shared_ptr<Liveness> liveness_ = std::make_shared<Liveness>();
    QTimer watchdog_;
    qint64 lastAskedMs_ = 0;
    qint64 seenPid_ = 0;
    Life life_ = Life::Live;
    // The render process ended at rest whose end the engine has not reported yet; a wake then
    // waits for the report, which would otherwise be taken for the new process's.
    bool endPending_ = false;
    bool wakeWhenEnded_ = false;
    QHash<QString, int> noted_;
};

// 广告1: the web view inside the clipping panel 广告, with its own off-the-record profile (no
// cookies, cache or storage on disk) and an AdPage. No context menu, no drops, no keyboard focus:
// the page cannot take the window's keys away from its menus.
class AdView : public QWebEngineView {
    Q_OBJECT
  public:
    // `input` watches the events of the widget that draws the page, from the moment it arrives.
    AdView(QWidget* panel, QObject* input);
    ~AdView() override;
    AdPage* adPage() const { return page_.get(); }

  protected:
    void childEvent(QChildEvent* event) override;
    // The panel shows the view exactly during a countdown: the page wakes and rests with it.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QPointer<QObject> input_;
    // Declared in this order so that the page goes before its profile.
    std::unique_ptr<QWebEngineProfile> profile_;
    std::unique_ptr<AdPage> page_;
};

// Makes 广告1 in `panel`, lets `input` watch the view's events (it is installed before the page's
// own widget arrives), and starts loading `address`. The page then rests whenever the panel is
// hidden and wakes whenever it is shown.
AdView* createAdView(QWidget* panel, QObject* input, const QUrl& address);
