#include "ui/MainWindow.h"

#include "playback/MediaPlayer.h"
#include "playback/PlaybackController.h"
#include "settings/Links.h"
#include "ui/AdView.h"
#include "ui/ClientArea.h"
#include "ui/DropOpener.h"
#include "ui/Fonts.h"
#include "ui/LibraryService.h"
#include "ui/RollDownMenu.h"
#include "ui/RollDownMenuFind.h"
#include "ui/WindowDefinition.h"

#include <QCloseEvent>
#include <QLabel>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <algorithm>
#include <chrono>
#include <utility>

namespace {

qint64 steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const ui::WindowDefinition& definition() {
    static const ui::WindowDefinition window{.title = TvStation::viewerName(),
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

} // namespace

MainWindow::MainWindow(MainWindowConfig config, PlaybackController& playback)
    : config_(std::move(config)), playback_(playback) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(TvStation::viewerName());
    setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));
    buildUnits();
    buildMenus();
    letWindowGrow();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildUnits() {
    auto* client = new ClientArea(this);
    client->setObjectName(QStringLiteral("client"));
    client->setMinimumSize(ui::clientSizeFor(definition()));
    setCentralWidget(client);
    client_ = client;

    const ui::Units units = ui::buildUnits(
        client, definition().units, [this](const ui::UnitDefinition& def, QWidget* parent) {
            if (def.name == QStringLiteral("播放器1"))
                return static_cast<QWidget*>(player_ = new MediaPlayer(playback_, parent));
            menu_ = new RollDownMenu(parent);
            return static_cast<QWidget*>(menu_);
        });
    adPanel_ = units.value(QStringLiteral("广告"));
    adText_ = qobject_cast<QLabel*>(units.value(QStringLiteral("广告字1")));
    adCountdown_ = qobject_cast<QLabel*>(units.value(QStringLiteral("广告计时")));
    client->leaveOutOfAccessibility(adCountdown_);
    showCountdown(AdCountdown::Seconds);

    countdownClock_ = steadyMs;
    adTimer_ = new QTimer(this);
    adTimer_->setObjectName(QStringLiteral("时钟1"));
    connect(adTimer_, &QTimer::timeout, this, &MainWindow::OnAdTimerTick);
    connect(menu_, &RollDownMenu::itemChosen, this, &MainWindow::OnCatalogueItemSelected);
    connect(menu_, &RollDownMenu::contextMenuRequested, this, &MainWindow::showItemMenu);
    find_ = new RollDownMenuFind(*menu_);
    auto* findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, find_, [this] { find_->open(); });
    // The player's area only: the advertisement over it takes no drops.
    new DropOpener(*player_, [this](const QString& location) { openLocation(location); });
    connect(player_, &MediaPlayer::framePainted, this, [this] {
        if (std::exchange(awaitingFirstFrame_, false))
            Q_EMIT firstFramePainted();
    });
}

QAction* MainWindow::menuAction(const QString& caption) const {
    return findChild<QAction*>(caption);
}

void MainWindow::createAdView() {
    if (adView_)
        return;
    AdView* view = ::createAdView(adPanel_, this, QUrl(config_.station.adUrl()));
    connect(view->adPage(), &AdPage::reported, this, &MainWindow::reported);
    // The page kept ready for the first countdown is not worth its render process once something
    // plays without one (a file, an address, a kept programme): the countdown loads it anew.
    connect(&playback_, &PlaybackController::statusChanged, view,
            [this, view](PlayerStatus status) {
                if (status == PlayerStatus::Playing && !adPanel_->isVisible())
                    view->adPage()->rest();
            });
    adView_ = view;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Only the advertisement view's page widget is watched (see createAdView).
    if (event->type() == QEvent::MouseButtonPress) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            OnAdPressed();
    } else if (event->type() == QEvent::Wheel) {
        OnAdWheel();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::OnCatalogueItemSelected() {
    // A kept programme chosen among the downloads plays from its file at once, as an opened file
    // does; chosen anywhere else it is the station's stream after the advertisement.
    if (library_) {
        if (const std::optional<QString> file = library_->keptFile(menu_->SelectedItem()))
            return playKept(*file);
    }
    const QString title = menu_->model().itemDisplayTitle(menu_->SelectedItem());
    setWindowTitle(TvStation::viewerName() + QStringLiteral("——") + title);
    Q_EMIT programmeSelected(title);
    if (library_)
        library_->chosen();
    playback_.open(QString());
    adPanel_->setVisible(true);
    adText_->setVisible(true);
    adCountdown_->setVisible(true);
    adTimer_->start(AdCountdown::TickMs);
    countdown_.start(countdownClock_());
    // libVLC loads during the countdown rather than after it, when the user is waiting.
    playback_.prepare();
}

void MainWindow::OnAdTimerTick() {
    showCountdown(countdown_.tick(countdownClock_()));
    if (countdown_.finished()) {
        adTimer_->stop();
        PlaySelectedItem();
        showCountdown(AdCountdown::Seconds);
    }
}

// The digit on screen; the sentence around it, digit and all, for a screen reader.
void MainWindow::showCountdown(int seconds) {
    adCountdown_->setText(QString::number(seconds));
    adText_->setAccessibleName(AdCountdown::spoken(seconds));
}

void MainWindow::PlaySelectedItem() {
    adPanel_->setVisible(false);
    adText_->setVisible(false);
    adCountdown_->setVisible(false);
    // The selection is read afresh; the address names the item as the menu shows it.
    const int chosen = menu_->SelectedItem();
    const RollDownMenuModel::Item* item = menu_->model().item(chosen);
    const QString url = config_.station.streamUrl(item ? item->decoded : GbkDecoded());
    const qint64 from = library_ ? std::max<qint64>(library_->startPosition(chosen), 0) : 0;
    Q_EMIT programmePlayed(url);
    awaitingFirstFrame_ = true;
    playInPlayer(url, from, item ? item->decoded.text : QString());
    if (library_)
        library_->started(chosen, from);
}

void MainWindow::playKept(const QString& file) {
    // A countdown under way for another choice ends here.
    adTimer_->stop();
    adPanel_->setVisible(false);
    adText_->setVisible(false);
    adCountdown_->setVisible(false);
    adCountdown_->setText(QString::number(AdCountdown::Seconds));
    const int chosen = menu_->SelectedItem();
    const QString title = menu_->model().itemDisplayTitle(chosen);
    setWindowTitle(TvStation::viewerName() + QStringLiteral("——") + title);
    Q_EMIT programmeSelected(title);
    // What plays is left first, so that its position is kept before this one's is asked for:
    // it may be the same programme.
    playback_.open(QString());
    const qint64 from = std::max<qint64>(library_->startPosition(chosen), 0);
    Q_EMIT programmePlayed(file);
    awaitingFirstFrame_ = true;
    playInPlayer(file, from, title);
    library_->started(chosen, from);
}

void MainWindow::OnAdPressed() {
    Q_EMIT adPressed();
    // An empty link would ask the desktop to open nothing at all.
    if (!adLink_.isEmpty())
        openWithDesktop(QUrl(adLink_));
}

void MainWindow::OnAdWheel() {
    Q_EMIT adWheelTurned();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The run is still filling the window while loading; the loading window cannot be closed.
    if (loading_)
        event->ignore();
    else
        QMainWindow::closeEvent(event);
}
