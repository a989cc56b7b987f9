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
// answering is ended, and an ended one is not restarted: the panel stays blank, and nothing the
// page does reaches the countdown.
class AdPage : public QWebEnginePage {
    Q_OBJECT
  public:
    // How long the render process may go without answering before it is ended.
    static constexpr int kUnresponsiveMs = 5000;

    explicit AdPage(QWebEngineProfile* profile, QObject* parent = nullptr);
    ~AdPage() override;

    // True once the render process has ended, by itself or because it stopped answering.
    bool rendererEnded() const { return rendererEnded_; }

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
    void refuseRequests();
    void checkRenderer();
    void OnRendererEnded(RenderProcessTerminationStatus status, int exitCode);
    // Reports what the page tried, a few times per kind: a looping page must not flood the record.
    void note(const QString& kind, const QString& detail = {});

    struct Liveness {
        qint64 lastAnswerMs = 0; // on `clock_`
    };
    QElapsedTimer clock_;
    NavigationBudget navigations_;
    std::shared_ptr<Liveness> liveness_ = std::make_shared<Liveness>();
    QTimer watchdog_;
    bool rendererEnded_ = false;
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

  private:
    QPointer<QObject> input_;
    // Declared in this order so that the page goes before its profile.
    std::unique_ptr<QWebEngineProfile> profile_;
    std::unique_ptr<AdPage> page_;
};

// Makes 广告1 in `panel`, lets `input` watch the view's events (it is installed before the page's
// own widget arrives), and starts loading `address`.
AdView* createAdView(QWidget* panel, QObject* input, const QUrl& address);
