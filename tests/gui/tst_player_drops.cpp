// Files and addresses dropped on the main window: on the player they play, as 打开 plays a
// chosen file; what carries nothing to play is refused while dragged; a file manager's move is
// taken as a copy; the advertisement over the player takes no drop.
#include "HostedWindow.h"
#include "playback/MediaPlayer.h"
#include "playback/PlaybackController.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPlayerMs = 20000; // a bound on failure for libVLC's threads, not a measure
const QString kSample = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.wav");

struct DropResult {
    bool enterAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

// As Qt hands a drag at `pos` of the window to a widget: the innermost there that takes drops.
QWidget* dropTargetAt(QWidget& window, QPoint pos) {
    QWidget* widget = window.childAt(pos);
    while (widget && !widget->isWindow() && !widget->acceptDrops())
        widget = widget->parentWidget();
    return widget && widget->acceptDrops() ? widget : nullptr;
}

// A drag that enters at `pos` and is let go there, as the desktop delivers one.
DropResult dropAt(QWidget& window, QPoint pos, const QMimeData& data,
                  Qt::DropActions actions = Qt::CopyAction) {
    DropResult result;
    QWidget* target = dropTargetAt(window, pos);
    if (!target)
        return result;
    const QPoint local = target->mapFrom(&window, pos);
    QDragEnterEvent enter(local, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    result.enterAccepted = enter.isAccepted();
    if (!result.enterAccepted)
        return result;
    QDropEvent drop(QPointF(local), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    result.dropAccepted = drop.isAccepted();
    result.action = drop.dropAction();
    return result;
}

} // namespace

class TestPlayerDrops : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void aDroppedFilePlays();
    void aDroppedAddressPlays();
    void whatCarriesNothingToPlayIsRefused();
    void theAdvertisementTakesNoDrop();

  private:
    QPoint pictureCentre() const {
        auto* video = player_->findChild<QWidget*>(u"videoView"_s);
        return video->mapTo(window_, video->rect().center());
    }

    std::unique_ptr<HostedWindow> hosted_;
    MainWindow* window_ = nullptr;
    MediaPlayer* player_ = nullptr;
};

void TestPlayerDrops::initTestCase() {
    hosted_ = std::make_unique<HostedWindow>();
    QVERIFY(hosted_->ready());
    window_ = &hosted_->window();
    player_ = &hosted_->player();
}

void TestPlayerDrops::cleanupTestCase() {
    hosted_.reset();
}

void TestPlayerDrops::init() {
    player_->setURL(QString());
}

// A file manager offers a move as well; what is dropped stays where it is.
void TestPlayerDrops::aDroppedFilePlays() {
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(kSample),
                   QUrl::fromLocalFile(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.mp3"))});
    const DropResult result =
        dropAt(*window_, pictureCentre(), files, Qt::MoveAction | Qt::CopyAction);
    QVERIFY(result.enterAccepted);
    QVERIFY(result.dropAccepted);
    QCOMPARE(result.action, Qt::CopyAction);
    QCOMPARE(player_->URL(), kSample);
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), MediaPlayer::Status::Playing, kPlayerMs);
    // As after 打开: the player has the keys.
    QCOMPARE(window_->focusWidget(), player_);

    // On the bar too, which is the player's as well; a link is all some programs offer.
    auto* bar = player_->findChild<QWidget*>(u"transportBar"_s);
    QVERIFY(bar);
    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.mp3"))});
    const DropResult linked =
        dropAt(*window_, bar->mapTo(window_, bar->rect().center()), other, Qt::LinkAction);
    QVERIFY(linked.dropAccepted);
    QCOMPARE(linked.action, Qt::LinkAction);
    QCOMPARE(player_->URL(), QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.mp3"));
}

void TestPlayerDrops::aDroppedAddressPlays() {
    const QString address =
        u"mms://"_s + hosted_->station().address() + u"/sp/%E5%A4%96%E6%9D%A5.wmv"_s;
    QMimeData text;
    text.setText(address + u"\n"_s);
    QVERIFY(dropAt(*window_, pictureCentre(), text).dropAccepted);
    QCOMPARE(player_->URL(), address);
    QVERIFY(hosted_->station().waitForLog(u"play 外来"_s, kPlayerMs));
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), MediaPlayer::Status::Playing, kPlayerMs);
}

void TestPlayerDrops::whatCarriesNothingToPlayIsRefused() {
    QMimeData words;
    words.setText(u"今晚的节目"_s);
    QMimeData moveOnly;
    moveOnly.setUrls({QUrl::fromLocalFile(kSample)});
    QMimeData image;
    image.setImageData(QImage(4, 4, QImage::Format_RGB32));
    QVERIFY(!dropAt(*window_, pictureCentre(), words).enterAccepted);
    QVERIFY(!dropAt(*window_, pictureCentre(), image).enterAccepted);
    QVERIFY(!dropAt(*window_, pictureCentre(), moveOnly, Qt::MoveAction).enterAccepted);
    QCOMPARE(player_->URL(), QString());
}

void TestPlayerDrops::theAdvertisementTakesNoDrop() {
    hosted_->choose(0);
    QWidget* ad = window_->findChild<QWidget*>(u"广告"_s);
    QTRY_VERIFY(ad->isVisible());
    QTRY_VERIFY(window_->findChild<QWidget*>(u"广告1"_s)); // the page over the panel
    const QString prepared = player_->URL();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(kSample)});
    for (const QPoint corner : {ad->rect().center(), ad->rect().topLeft() + QPoint(4, 4),
                                ad->rect().bottomRight() - QPoint(4, 4)}) {
        const QPoint pos = ad->mapTo(window_, corner);
        QWidget* target = dropTargetAt(*window_, pos);
        QVERIFY2(!target || !player_->isAncestorOf(target),
                 target ? qPrintable(target->objectName()) : "");
        dropAt(*window_, pos, files);
        QCOMPARE(player_->URL(), prepared);
    }
    // The countdown ends as it would have.
    for (int second = 0; second < 5; ++second)
        hosted_->tick();
    QVERIFY(!ad->isVisible());
}

int main(int argc, char* argv[]) {
    TestPlayerDrops test;
    return runHostedTest(test, argc, argv);
}

#include "tst_player_drops.moc"
