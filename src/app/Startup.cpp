#include "app/Startup.h"

#include "app/CatalogueBridge.h"
#include "app/DataLocation.h"
#include "app/ProgramState.h"
#include "app/Trace.h"
#include "catalogue/HttpGet.h"
#include "playback/MediaPlayer.h"
#include "playback/PlaybackController.h"
#include "settings/LibraryFile.h"
#include "ui/LibraryService.h"
#include "ui/LoadingWindow.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>
#include <system_error>

namespace {

const QString kIncompleteData = QStringLiteral(
    "数据获取不完整，请重新打开软件！\r\n如果重新打开后仍然出现次信息框，请检查网络或防火墙！");
const QString kRunNotStarted = QStringLiteral("无法启动数据获取，请重新打开软件！");
const QString kErrorTitle = QStringLiteral("错误！");

// The message boxes of the system: one OK button, no icon.
QMessageBox* plainMessage(const QString& title, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, title,
                                QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                                QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

// Tells the end-to-end tests which native window to click, once it can take input, and again
// should it ever be made anew.
class ShownTracer : public QObject {
  public:
    ShownTracer(QWidget& window, QObject* parent) : QObject(parent), window_(window) {
        window.winId(); // the native window, so that its first exposure is seen
        window.windowHandle()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && window_.windowHandle()->isExposed() &&
            window_.winId() != traced_) {
            traced_ = window_.winId();
            trace(QStringLiteral("shown window=%1").arg(traced_));
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QWidget& window_;
    WId traced_ = 0;
};

} // namespace

void OnLoadingTimerTick() {
    LoadingElapsed += 100;
}

void bindLoadingClock(LoadingWindow& loading) {
    QObject::connect(loading.clock(), &QTimer::timeout, &loading, &OnLoadingTimerTick);
}

Startup::Startup(MainWindow& window, Config config, StartupHooks hooks)
    : window_(window), config_(std::move(config)), hooks_(std::move(hooks)) {
    traceWindow();
}

Startup::~Startup() {
    if (runThread_.joinable())
        runThread_.join();
}

bool Startup::OnMainWindowCreated() {
    window_.setLoading(true);
    {
        LoadingWindow loading([this](LoadingWindow& created) { OnLoadingWindowCreated(created); });
        if (!runStarted_) {
            window_.setLoading(false);
            plainMessage(kErrorTitle, kRunNotStarted)->exec();
            return false;
        }
        loading.exec();
    }
    window_.setLoading(false);
    for (QAction* action : window_.transportMenuActions())
        action->setEnabled(false);
    RollDownMenu& menu = window_.rollDownMenu();
    startLibrary();
    if (menu.model().groupCount() > 0)
        menu.setOpenGroup(0);
    traceReady();
    new ShownTracer(window_, this);
    // The web engine starts only now, so it never holds up the loading window's clock.
    QTimer::singleShot(0, &window_, &MainWindow::createAdView);
    return true;
}

void Startup::OnLoadingWindowCreated(LoadingWindow& loading) {
    bindLoadingClock(loading);
    connect(&loading, &LoadingWindow::shown, this, [] { trace(QStringLiteral("loading-shown")); });

    programDirectory_ =
        hooks_.programDirectory.isEmpty() ? programDataDirectory() : hooks_.programDirectory;
    window_.setProgramFiles(programDirectory_, featuresTextPath(programDirectory_));
    // A folder that cannot be made shows up later as missing data.
    QDir().mkpath(programDirectory_ + TvStation::downloadFolder());

    bridge_ = new CatalogueBridge(
        &loading, &window_.rollDownMenu().model(), [this] { reportIncompleteData(); }, this);
    clock_ = hooks_.makeClock ? hooks_.makeClock() : std::make_unique<LoadingClock>();
    run_ = std::make_unique<CatalogueRunContext>(CatalogueRunContext{
        *bridge_, *clock_,
        hooks_.download ? hooks_.download : [](const std::string& url) { return HttpGet(url); },
        programDirectory_, config_.station()});
    try {
        auto work = [run = run_.get()] { CatalogueRun(*run); };
        runThread_ = hooks_.startThread ? hooks_.startThread(work) : std::thread(work);
        runStarted_ = true;
    } catch (const std::system_error&) {
        runStarted_ = false;
    }
}

// After the catalogue, so that the menu begins with the station's groups and stored entries can
// be matched with today's programmes.
void Startup::startLibrary() {
    library_ =
        new LibraryService(window_.rollDownMenu().model(), window_.playback(),
                           programDirectory_ + QLatin1Char('/') + library_file::kFileName, this);
    window_.setLibrary(library_);
    connect(library_, &LibraryService::saved, this, [this] {
        const ProgrammeLibrary& stored = library_->library();
        trace(QStringLiteral("library favourites=%1 recent=%2 positions=%3")
                  .arg(stored.favourites().size())
                  .arg(stored.recent().size())
                  .arg(stored.positions().size()));
    });
    connect(library_, &LibraryService::resumedAt, this,
            [](qint64 ms) { trace(QStringLiteral("resumed-at %1").arg(ms)); });
    library_->load();
}

void Startup::reportIncompleteData() {
    trace(QStringLiteral("incomplete-data"));
    QMessageBox* box = plainMessage(kErrorTitle, kIncompleteData);
    box->setObjectName(QStringLiteral("incompleteDataMessage"));
    box->setWindowModality(Qt::NonModal);
    // A start without the whole catalogue is a failed start: it must not end with success.
    connect(box, &QMessageBox::finished, qApp, [] { QCoreApplication::exit(1); });
    box->show();
}

void Startup::traceWindow() {
    connect(&window_, &MainWindow::programmeSelected, this,
            [](const QString& title) { trace(QStringLiteral("selected ") + title); });
    connect(&window_, &MainWindow::programmePlayed, this,
            [](const QString& url) { trace(QStringLiteral("play ") + url); });
    MediaPlayer* player = &window_.player();
    connect(&window_, &MainWindow::firstFramePainted, this, [player] {
        trace(QStringLiteral("first-frame"));
        const QSize size = player->videoSize();
        trace(QStringLiteral("video-size %1x%2").arg(size.width()).arg(size.height()));
    });
    connect(&window_, &MainWindow::reported, this, [](const QString& event) { trace(event); });
    PlaybackController* playback = &window_.playback();
    connect(playback, &PlaybackController::statusChanged, this,
            [playback] { trace(QStringLiteral("player ") + playback->statusText()); });
    // Once per medium each. libVLC may learn the length before the stream can seek; keys that
    // seek do something only from the second on.
    connect(playback, &PlaybackController::timesChanged, this,
            [known = qint64(0)](qint64, qint64 length) mutable {
                if (length > 0 && known == 0)
                    trace(QStringLiteral("player-length %1").arg(length));
                known = length;
            });
    connect(playback, &PlaybackController::seekableChanged, this, [](bool seekable) {
        if (seekable)
            trace(QStringLiteral("player-seekable"));
    });
}

void Startup::traceReady() const {
    QStringList disabled;
    for (const QAction* action : window_.transportMenuActions()) {
        if (!action->isEnabled())
            disabled << action->text();
    }
    const RollDownMenuModel& model = window_.rollDownMenu().model();
    for (int g = 0; g < model.groupCount(); ++g) {
        trace(
            QStringLiteral("group %1 %2").arg(model.groupDisplayTitle(g)).arg(model.itemCount(g)));
    }
    trace(QStringLiteral("ready disabled=") + disabled.join(QLatin1Char(',')));
}
