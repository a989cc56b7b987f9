#include "ui/AdView.h"

#include <QApplication>
#include <QAuthenticator>
#include <QChildEvent>
#include <QFile>
#include <QHideEvent>
#include <QMetaEnum>
#include <QQuickWindow>
#include <QShowEvent>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineProfile>
#include <QWebEngineQuotaRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <csignal>
#include <unistd.h>
#include <utility>

namespace {

// A page can take hundreds of MiB a second; the render process's memory is looked at often.
constexpr int kWatchdogTickMs = 100;
constexpr int kAskEveryMs = 1000;
constexpr int kNotesPerKind = 20;
constexpr qsizetype kNotedUrlChars = 160;
// A banner's scripts need a few MiB; a page that wants more is not an advertisement.
constexpr const char* kScriptHeapMiB = "64";

void restrict(QWebEngineSettings& settings) {
    using S = QWebEngineSettings;
    const std::pair<S::WebAttribute, bool> attributes[] = {
        {S::JavascriptCanOpenWindows, false},
        {S::JavascriptCanAccessClipboard, false},
        {S::JavascriptCanPaste, false},
        {S::AllowWindowActivationFromJavaScript, false},
        {S::LocalContentCanAccessFileUrls, false},
        {S::LocalContentCanAccessRemoteUrls, false},
        {S::PluginsEnabled, false},
        {S::PdfViewerEnabled, false},
        {S::FullScreenSupportEnabled, false},
        {S::ScreenCaptureEnabled, false},
        {S::AllowGeolocationOnInsecureOrigins, false},
        {S::AllowRunningInsecureContent, false},
        {S::WebGLEnabled, false},
        {S::WebRTCPublicInterfacesOnly, true},
        {S::HyperlinkAuditingEnabled, false},
        {S::DnsPrefetchEnabled, false},
        {S::FocusOnNavigationEnabled, false},
        {S::NavigateOnDropEnabled, false},
        {S::PlaybackRequiresUserGesture, true},
    };
    for (const auto& [attribute, on] : attributes)
        settings.setAttribute(attribute, on);
    settings.setUnknownUrlSchemePolicy(S::DisallowUnknownUrlSchemes);
}

QString shown(const QUrl& url) {
    return url.toString(QUrl::FullyEncoded).left(kNotedUrlChars);
}

qint64 heldKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    return status.open(QIODevice::ReadOnly) ? rendererHeldKiB(status.readAll()) : -1;
}

// A render process of the engine's own, not the program's (which runs it in-process when asked).
bool ownRenderer(qint64 pid) {
    return pid > 0 && pid != qint64(::getpid());
}

template <typename Enum> QString nameOf(Enum value) {
    const char* key = QMetaEnum::fromType<Enum>().valueToKey(int(value));
    return key ? QString::fromLatin1(key) : QString::number(int(value));
}

} // namespace

AdPage::AdPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
    clock_.start();
    restrict(*settings());
    refuseRequests();
    connect(this, &QWebEnginePage::renderProcessTerminated, this, &AdPage::OnRendererEnded);
    connect(this, &QWebEnginePage::renderProcessPidChanged, this, &AdPage::OnRendererStarted);
    // A document on its way gets the full time to answer.
    connect(this, &QWebEnginePage::loadStarted, this,
            [this] { liveness_->lastAnswerMs = clock_.elapsed(); });
    watchdog_.setInterval(kWatchdogTickMs);
    connect(&watchdog_, &QTimer::timeout, this, &AdPage::checkRenderer);
    watchdog_.start();
}

AdPage::~AdPage() = default;

void AdPage::start(const QUrl& address) {
    address_ = address;
    load(address);
}

void AdPage::rest() {
    wakeWhenEnded_ = false;
    if (life_ != Life::Live)
        return;
    life_ = Life::Resting;
    const qint64 pid = renderProcessPid();
    if (ownRenderer(pid)) {
        // Not the engine's discarding of a page: the process would stay for a while, and a
        // hostile page's memory with it. Nothing of the page is worth keeping.
        note(QStringLiteral("renderer-released"), QString::number(pid));
        endPending_ = true;
        ::kill(pid_t(pid), SIGKILL);
    } else {
        // No process yet: should one come for this load, it is ended as it arrives.
        triggerAction(Stop);
    }
}

void AdPage::wake() {
    if (life_ != Life::Resting)
        return;
    if (endPending_) {
        wakeWhenEnded_ = true;
        return;
    }
    life_ = Life::Live;
    liveness_->lastAnswerMs = clock_.elapsed();
    watchdog_.start();
    // The start page, whatever the last one navigated to: every countdown shows the same.
    load(address_);
}

void AdPage::refuseRequests() {
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                note(QStringLiteral("refused-permission"), nameOf(feature));
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [this](QWebEngineFullScreenRequest request) {
                note(QStringLiteral("refused-fullscreen"));
                request.reject();
            });
    connect(this, &QWebEnginePage::quotaRequested, this,
            [](QWebEngineQuotaRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [this](QWebEngineFileSystemAccessRequest request) {
                note(QStringLiteral("refused-file-access"));
                request.reject();
            });
    connect(this, &QWebEnginePage::selectClientCertificate, this,
            [](QWebEngineClientCertificateSelection selection) { selection.selectNone(); });
    // An empty authenticator cancels the request: no password prompt on the user's screen.
    connect(this, &QWebEnginePage::authenticationRequired, this,
            [](const QUrl&, QAuthenticator* authenticator) { *authenticator = QAuthenticator(); });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [](const QUrl&, QAuthenticator* authenticator, const QString&) {
                *authenticator = QAuthenticator();
            });
}

bool AdPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    const QString detail =
        nameOf(type) + (isMainFrame ? QStringLiteral(" ") : QStringLiteral(" frame ")) + shown(url);
    if (life_ != Life::Live || !isWebAddress(url)) {
        note(QStringLiteral("refused-navigation"), detail);
        return false;
    }
    // The program's own loads (the start page at each wake) go whatever the page spent.
    const bool own = type == NavigationTypeTyped && isMainFrame;
    if (!navigations_.take(clock_.elapsed()) && !own) {
        note(QStringLiteral("refused-navigation"), QStringLiteral("over the budget ") + detail);
        return false;
    }
    note(QStringLiteral("navigation"), detail);
    return true;
}

QWebEnginePage* AdPage::createWindow(WebWindowType type) {
    note(QStringLiteral("refused-window"), nameOf(type));
    return nullptr;
}

void AdPage::javaScriptAlert(const QUrl&, const QString&) {
    note(QStringLiteral("suppressed-alert"));
}

bool AdPage::javaScriptConfirm(const QUrl&, const QString&) {
    note(QStringLiteral("suppressed-confirm"));
    return false;
}

bool AdPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) {
    note(QStringLiteral("suppressed-prompt"));
    return false;
}

// The page's console is the page's business; a looping page would otherwise flood stderr.
void AdPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                      const QString&) {}

QStringList AdPage::chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) {
    note(QStringLiteral("refused-file-chooser"));
    return {};
}

void AdPage::checkRenderer() {
    const qint64 pid = renderProcessPid();
    OnRendererStarted(pid);
    const qint64 now = clock_.elapsed();
    // No process yet (or the engine runs in ours, which must never be ended): nothing to watch.
    if (life_ != Life::Live || !ownRenderer(pid)) {
        liveness_->lastAnswerMs = now;
        return;
    }
    // Typed arrays, canvases, DOM nodes and WebAssembly memory are outside the script heap's
    // bound; a page hoarding them would otherwise take the machine's memory.
    const qint64 held = heldKiB(pid);
    if (held > kHeldLimitMiB * 1024) {
        endRenderer(pid, QStringLiteral("renderer-over-memory"),
                    QStringLiteral("%1 %2 KiB").arg(pid).arg(held));
        return;
    }
    if (now - liveness_->lastAnswerMs >= kUnresponsiveMs) {
        // A script that never returns (a busy loop, a loop of dialogs) holds the render process
        // on a core for good. Ending it is what a browser's "page unresponsive" offers.
        endRenderer(pid, QStringLiteral("renderer-unresponsive"), QString::number(pid));
        return;
    }
    if (now - lastAskedMs_ < kAskEveryMs)
        return;
    lastAskedMs_ = now;
    // The answer comes from the render process's main thread, which a running script holds.
    // The state is shared, not `this`: the engine may call back while the page is going.
    runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                  [liveness = liveness_, clock = clock_](const QVariant&) {
                      liveness->lastAnswerMs = clock.elapsed();
                  });
}

void AdPage::endRenderer(qint64 pid, const QString& why, const QString& detail) {
    note(why, detail);
    watchdog_.stop();
    life_ = Life::Ended;
    ::kill(pid_t(pid), SIGKILL);
    Q_EMIT rendererEndedChanged();
}

void AdPage::OnRendererStarted(qint64 pid) {
    // The engine does not always say when the process changes; the watchdog looks as well.
    if (pid <= 0 || pid == seenPid_)
        return;
    seenPid_ = pid;
    note(QStringLiteral("renderer-started"), QString::number(pid));
    liveness_->lastAnswerMs = clock_.elapsed();
    // Launched for a load that rest() stopped.
    if (life_ == Life::Resting && ownRenderer(pid)) {
        note(QStringLiteral("renderer-released"), QString::number(pid));
        endPending_ = true;
        ::kill(pid_t(pid), SIGKILL);
    }
}

void AdPage::OnRendererEnded(RenderProcessTerminationStatus status, int exitCode) {
    note(QStringLiteral("renderer-ended"),
         nameOf(status) + QLatin1Char(' ') + QString::number(exitCode));
    if (life_ == Life::Resting) {
        // Nothing is left to watch until the page wakes.
        watchdog_.stop();
        endPending_ = false;
        if (std::exchange(wakeWhenEnded_, false))
            wake();
        return;
    }
    if (life_ == Life::Live) {
        watchdog_.stop();
        life_ = Life::Ended;
        Q_EMIT rendererEndedChanged();
    }
}

void AdPage::note(const QString& kind, const QString& detail) {
    if (++noted_[kind] > kNotesPerKind)
        return;
    Q_EMIT reported(QStringLiteral("ad ") + kind +
                    (detail.isEmpty() ? QString() : QLatin1Char(' ') + detail));
}

AdView::AdView(QWidget* panel, QObject* input)
    : QWebEngineView(panel), input_(input), profile_(std::make_unique<QWebEngineProfile>()),
      page_(std::make_unique<AdPage>(profile_.get())) {
    setObjectName(QStringLiteral("广告1"));
    setGeometry(-12, -17, 380, 328);
    // Off the record (no storage name): nothing the page keeps outlives the process.
    profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile_->setSpellCheckEnabled(false);
    connect(profile_.get(), &QWebEngineProfile::downloadRequested, this,
            [](QWebEngineDownloadRequest* download) { download->cancel(); });
    setPage(page_.get());
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setFocusPolicy(Qt::NoFocus);
    // An ended page shows nothing: the panel behind it is the blank the countdown runs over.
    connect(page_.get(), &AdPage::rendererEndedChanged, this, &QWidget::hide);
    // The engine focuses the view itself when a page loads in a new render process (each wake),
    // whatever the focus policy says; the keyboard goes back to where it was.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const auto inside = [this](QWidget* widget) {
            return widget && (widget == this || isAncestorOf(widget));
        };
        if (!inside(now))
            return;
        if (old && !inside(old))
            old->setFocus(Qt::OtherFocusReason);
        else
            now->clearFocus();
    });
}

AdView::~AdView() = default;

void AdView::showEvent(QShowEvent* event) {
    QWebEngineView::showEvent(event);
    // A minimised window comes back with the same page.
    if (!event->spontaneous())
        page_->wake();
}

void AdView::hideEvent(QHideEvent* event) {
    QWebEngineView::hideEvent(event);
    if (!event->spontaneous())
        page_->rest();
}

void AdView::childEvent(QChildEvent* event) {
    // The engine adds the widget that draws the page later; it would take keyboard focus on a
    // click, and with it the window's shortcuts.
    if (event->added() && event->child()->isWidgetType()) {
        auto* child = static_cast<QWidget*>(event->child());
        child->setFocusPolicy(Qt::NoFocus);
        // The press and the wheel on the page arrive at that widget, not at the view.
        if (input_)
            child->installEventFilter(input_);
    }
    QWebEngineView::childEvent(event);
}

AdView* createAdView(QWidget* panel, QObject* input, const QUrl& address) {
    // Composited through the GPU scene graph, the view would switch the whole window to GL
    // composition for good, and every video frame would then recomposite the window (without a
    // GPU, in a software rasteriser at several times the cost of decoding). The page is a still
    // banner: software compositing draws it as an ordinary widget.
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // The engine reads its flags once, when the first page is made, which is this one.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    // A page that hoards memory in its scripts fails in its own process at a bounded size
    // instead of taking the machine's memory first.
    if (!flags.contains("--js-flags"))
        flags.append(" --js-flags=--max-old-space-size=").append(kScriptHeapMiB);
    // The engine keeps two forked helpers ("zygotes") for the whole session to start its
    // processes from. The one for processes without the sandbox serves nothing here. The other
    // stays: with the sandbox the engine cannot go without it, and without the sandbox (as root)
    // starting each countdown's render process from scratch took twice as long under load, up to
    // 1.2 s before the advertisement showed, to save 7 MiB.
    if (!flags.contains("zygote"))
        flags.append(" --no-unsandboxed-zygote");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    auto* view = new AdView(panel, input);
    view->adPage()->start(address);
    return view;
}
