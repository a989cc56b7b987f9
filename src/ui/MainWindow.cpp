#include "ui/MainWindow.h"

#include "app/CatalogueBridge.h"
#include "app/Config.h"
#include "app/ProgramState.h"
#include "app/Trace.h"
#include "catalogue/HttpGet.h"
#include "playback/MediaPlayer.h"
#include "playback/StreamUrl.h"
#include "settings/Links.h"
#include "ui/AdView.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/LoadingWindow.h"
#include "ui/RollDownMenu.h"
#include "ui/WindowDefinition.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <system_error>

namespace {

const QString kTitle = QStringLiteral("Velmora网络电视");
const QString kIncompleteData = QStringLiteral(
    "数据获取不完整，请重新打开软件！\r\n如果重新打开后仍然出现次信息框，请检查网络或防火墙！");
const QString kRunNotStarted = QStringLiteral("无法启动数据获取，请重新打开软件！");
const QString kErrorTitle = QStringLiteral("错误！");

const ui::WindowDefinition& definition() {
    static const ui::WindowDefinition window{.title = kTitle,
                                             .outerSize = {745, 498},
                                             .hasMenuBar = true,
                                             .units = {
                                                 {.name = QStringLiteral("播放器1"),
                                                  .kind = ui::UnitKind::Custom,
                                                  .geometry = {2, 0, 574, 440}},
                                                 {.name = QStringLiteral("卷帘式菜单1"),
                                                  .kind = ui::UnitKind::Custom,
                                                  .geometry = {584, 0, 152, 440}},
                                                 {.name = QStringLiteral("广告"),
                                                  .kind = ui::UnitKind::Panel,
                                                  .geometry = {121, 54, 336, 280},
                                                  .visible = false},
                                                 {.name = QStringLiteral("广告字1"),
                                                  .kind = ui::UnitKind::Label,
                                                  .geometry = {483, 9, 80, 24},
                                                  .text = QStringLiteral("广告还有  秒"),
                                                  .visible = false,
                                                  .font = songFont(12, true),
                                                  .color = QColor(128, 160, 128)},
                                                 {.name = QStringLiteral("广告计时"),
                                                  .kind = ui::UnitKind::Label,
                                                  .geometry = {480, 4, 120, 32},
                                                  .text = QStringLiteral("5"),
                                                  .visible = false,
                                                  .font = songFont(20, true, true),
                                                  .color = QColor(255, 0, 0),
                                                  .alignment = Qt::AlignHCenter | Qt::AlignVCenter},
                                             }};
    return window;
}

// The message boxes of the system: one OK button, no icon.
QMessageBox* plainMessage(const QString& title, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, title,
                                QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                                QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

} // namespace

MainWindow::MainWindow(StartupHooks hooks) : hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(kTitle);
    setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));
    buildUnits();
    buildMenus();
    setFixedSize(sizeHint());
}

MainWindow::~MainWindow() {
    if (runThread_.joinable())
        runThread_.join();
}

void MainWindow::buildUnits() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(ui::clientSizeFor(definition()));
    setCentralWidget(client);

    const ui::Units units = ui::buildUnits(
        client, definition().units, [this](const ui::UnitDefinition& def, QWidget* parent) {
            if (def.name == QStringLiteral("播放器1"))
                return static_cast<QWidget*>(player_ = new MediaPlayer(parent));
            menu_ = new RollDownMenu(parent);
            return static_cast<QWidget*>(menu_);
        });
    adPanel_ = units.value(QStringLiteral("广告"));
    adText_ = qobject_cast<QLabel*>(units.value(QStringLiteral("广告字1")));
    adCountdown_ = qobject_cast<QLabel*>(units.value(QStringLiteral("广告计时")));

    adTimer_ = new QTimer(this);
    adTimer_->setObjectName(QStringLiteral("时钟1"));
    connect(adTimer_, &QTimer::timeout, this, &MainWindow::OnAdTimerTick);
    connect(menu_, &RollDownMenu::itemChosen, this, &MainWindow::OnCatalogueItemSelected);
    connect(player_, &MediaPlayer::framePainted, this, [this] {
        if (!framePainted_)
            trace(QStringLiteral("first-frame"));
        framePainted_ = true;
    });
    connect(player_, &MediaPlayer::statusChanged, this,
            [this] { trace(QStringLiteral("player ") + player_->statusText()); });
}

void MainWindow::buildMenus() {
    struct Entry {
        const char* caption; // empty: a separator
        QKeySequence shortcut;
    };
    const auto addMenu = [this](const QString& title, std::initializer_list<Entry> entries) {
        QMenu* menu = menuBar()->addMenu(title);
        menu->setObjectName(title);
        for (const Entry& entry : entries) {
            if (!*entry.caption) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(entry.caption));
            action->setObjectName(action->text());
            action->setShortcut(entry.shortcut);
        }
    };
    addMenu(QStringLiteral("文件(&F)"), {{"打开(&O)", QKeySequence(Qt::CTRL | Qt::Key_O)},
                                         {"打开URL(&U)", QKeySequence(Qt::CTRL | Qt::Key_U)},
                                         {"", {}},
                                         {"播放", {}},
                                         {"暂停", {}},
                                         {"停止", {}},
                                         {"", {}},
                                         {"退出", QKeySequence(Qt::CTRL | Qt::Key_Q)}});
    addMenu(QStringLiteral("设置(&S)"), {{"详细设置(&D)", {}}, {"", {}}});
    addMenu(QStringLiteral("帮助(&H)"), {{"软件帮助", QKeySequence(Qt::Key_F1)},
                                         {"", {}},
                                         {"提出意见(C)", {}},
                                         {"", {}},
                                         {"检查更新(&O)", {}},
                                         {"", {}},
                                         {"软件特性", {}},
                                         {"关于(&A)", {}}});

    const auto setUrl = [this](const QString& location) { player_->setURL(location); };
    const std::pair<const char*, std::function<void()>> bindings[] = {
        {"打开(&O)", [this, setUrl] { OnOpenFileMenu(this, setUrl); }},
        {"打开URL(&U)", [setUrl] { OnOpenUrlMenu(setUrl); }},
        // "退出" closes the window and so ends the program, as users expect of it.
        {"退出", [this] { close(); }},
        {"详细设置(&D)", &OnSettingsMenu},
        {"软件帮助", &OnHelpMenu},
        {"提出意见(C)", &OnFeedbackMenu},
        {"检查更新(&O)", &OnCheckUpdateMenu},
        {"软件特性", &OnFeaturesMenu},
        {"关于(&A)", &OnAboutMenu},
    };
    for (const auto& [caption, handler] : bindings)
        connect(menuAction(QString::fromUtf8(caption)), &QAction::triggered, this, handler);
}

QAction* MainWindow::menuAction(const QString& caption) const {
    return findChild<QAction*>(caption);
}

bool MainWindow::OnMainWindowCreated() {
    loading_ = true;
    {
        LoadingWindow loading([this](LoadingWindow& window) { OnLoadingWindowCreated(window); });
        if (!runStarted_) {
            loading_ = false;
            plainMessage(kErrorTitle, kRunNotStarted)->exec();
            return false;
        }
        loading.exec();
    }
    loading_ = false;
    menuAction(QStringLiteral("播放"))->setEnabled(false);
    menuAction(QStringLiteral("暂停"))->setEnabled(false);
    menuAction(QStringLiteral("停止"))->setEnabled(false);
    if (menu_->groupCount() > 0)
        menu_->setOpenGroup(0);
    traceReady();
    // The web engine starts only now, so it never holds up the loading window's clock.
    QTimer::singleShot(0, this, &MainWindow::createAdView);
    return true;
}

void MainWindow::OnLoadingWindowCreated(LoadingWindow& loading) {
    setProgramDirectory(hooks_.programDirectory.isEmpty() ? QCoreApplication::applicationDirPath()
                                                          : hooks_.programDirectory);
    // A folder that cannot be made shows up later as missing data.
    QDir().mkpath(ProgramDirectory() + QStringLiteral("/xzwj"));

    bridge_ = new CatalogueBridge(
        &loading, menu_, [this] { reportIncompleteData(); }, this);
    clock_ = hooks_.makeClock ? hooks_.makeClock() : std::make_unique<LoadingClock>();
    run_ = std::make_unique<CatalogueRunContext>(CatalogueRunContext{
        *bridge_, *clock_,
        hooks_.download ? hooks_.download : [](const std::string& url) { return HttpGet(url); },
        ProgramDirectory(), stationHost()});
    try {
        auto work = [run = run_.get()] { CatalogueRun(*run); };
        runThread_ = hooks_.startThread ? hooks_.startThread(work) : std::thread(work);
        runStarted_ = true;
    } catch (const std::system_error&) {
        runStarted_ = false;
    }
}

void MainWindow::reportIncompleteData() {
    trace(QStringLiteral("incomplete-data"));
    QMessageBox* box = plainMessage(kErrorTitle, kIncompleteData);
    box->setObjectName(QStringLiteral("incompleteDataMessage"));
    box->setWindowModality(Qt::NonModal);
    // A start without the whole catalogue is a failed start: it must not end with success.
    connect(box, &QMessageBox::finished, qApp, [] { QCoreApplication::exit(1); });
    box->show();
}

void MainWindow::traceReady() const {
    QStringList disabled;
    for (const char* caption : {"播放", "暂停", "停止"}) {
        if (!menuAction(QString::fromUtf8(caption))->isEnabled())
            disabled << QString::fromUtf8(caption);
    }
    for (int g = 0; g < menu_->groupCount(); ++g) {
        trace(QStringLiteral("group %1 %2")
                  .arg(gbkToDisplay(menu_->groupTitle(g)))
                  .arg(menu_->itemCount(g)));
    }
    trace(QStringLiteral("ready disabled=") + disabled.join(QLatin1Char(',')));
}

void MainWindow::createAdView() {
    if (!adView_)
        adView_ = ::createAdView(adPanel_, this, QUrl(adUrl()));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The page is drawn by a child the engine adds later; watch it as it arrives.
    if (event->type() == QEvent::ChildAdded && watched == adView_) {
        if (auto* child = static_cast<QChildEvent*>(event)->child(); child->isWidgetType())
            child->installEventFilter(this);
    } else if (event->type() == QEvent::MouseButtonPress) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            OnAdPressed();
    } else if (event->type() == QEvent::Wheel) {
        OnAdWheel();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::OnCatalogueItemSelected(int, int) {
    const QString title = menu_->itemText(menu_->SelectedItem());
    setWindowTitle(kTitle + QStringLiteral("——") + title);
    trace(QStringLiteral("selected ") + title);
    player_->setURL(QString());
    adPanel_->setVisible(true);
    adText_->setVisible(true);
    adCountdown_->setVisible(true);
    adTimer_->start(1000);
    countdownStep_ = 1;
    // libVLC loads during the countdown rather than after it, when the user is waiting.
    player_->prepare();
}

void MainWindow::OnAdTimerTick() {
    adCountdown_->setText(QString::number(double(5 - countdownStep_)));
    ++countdownStep_;
    if (countdownStep_ == 6) {
        adTimer_->stop();
        PlaySelectedItem();
        adCountdown_->setText(QStringLiteral("5"));
    }
}

void MainWindow::PlaySelectedItem() {
    adPanel_->setVisible(false);
    adText_->setVisible(false);
    adCountdown_->setVisible(false);
    const QString url = StreamUrl(menu_->ItemTitle(menu_->SelectedItem()), StreamHost());
    trace(QStringLiteral("play ") + url);
    framePainted_ = false;
    player_->setURL(url);
}

void MainWindow::OnAdPressed() {
    // An empty link would ask the desktop to open nothing at all.
    if (!adLink_.isEmpty())
        openWithDesktop(QUrl(adLink_));
}

void MainWindow::OnAdWheel() {}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The run is still filling the window while loading; the loading window cannot be closed.
    if (loading_)
        event->ignore();
    else
        QMainWindow::closeEvent(event);
}
