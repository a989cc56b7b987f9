#include "ui/AdView.h"

#include <QAuthenticator>
#include <QChildEvent>
#include <QMetaEnum>
#include <QQuickWindow>
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

namespace {

constexpr int kWatchdogTickMs = 1000;
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
    // A new render process, or a document on its way, gets the full time to answer.
    const auto fresh = [this] { liveness_->lastAnswerMs = clock_.elapsed(); };
    connect(this, &QWebEnginePage::renderProcessPidChanged, this, fresh);
    connect(this, &QWebEnginePage::loadStarted, this, fresh);
    watchdog_.setInterval(kWatchdogTickMs);
    connect(&watchdog_, &QTimer::timeout, this, &AdPage::checkRenderer);
    watchdog_.start();
}

AdPage::~AdPage() = default;

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
    if (rendererEnded_ || !isWebAddress(url)) {
        note(QStringLiteral("refused-navigation"), detail);
        return false;
    }
    if (!navigations_.take(clock_.elapsed())) {
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
    // No process yet (or the engine runs in ours, which must never be ended): nothing to watch.
    if (rendererEnded_ || pid <= 0 || pid == qint64(::getpid())) {
        liveness_->lastAnswerMs = clock_.elapsed();
        return;
    }
    if (clock_.elapsed() - liveness_->lastAnswerMs >= kUnresponsiveMs) {
        // A script that never returns (a busy loop, a loop of dialogs) holds the render process
        // on a core for good. Ending it is what a browser's "page unresponsive" offers.
        note(QStringLiteral("renderer-unresponsive"), QString::number(pid));
        watchdog_.stop();
        ::kill(pid_t(pid), SIGKILL);
        return;
    }
    // The answer comes from the render process's main thread, which a running script holds.
    // The state is shared, not `this`: the engine may call back while the page is going.
    runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                  [liveness = liveness_, clock = clock_](const QVariant&) {
                      liveness->lastAnswerMs = clock.elapsed();
                  });
}

void AdPage::OnRendererEnded(RenderProcessTerminationStatus status, int exitCode) {
    note(QStringLiteral("renderer-ended"),
         nameOf(status) + QLatin1Char(' ') + QString::number(exitCode));
    watchdog_.stop();
    if (!rendererEnded_) {
        rendererEnded_ = true;
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
}

AdView::~AdView() = default;

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
    // The engine reads its flags once, when the first page is made, which is this one. A page
    // that hoards memory then fails in its own process at a bounded size instead of taking the
    // machine's memory first.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--js-flags"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                flags.append(" --js-flags=--max-old-space-size=").append(kScriptHeapMiB).trimmed());
    auto* view = new AdView(panel, input);
    view->load(address);
    return view;
}
