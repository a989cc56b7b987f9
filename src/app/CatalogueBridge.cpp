#include "app/CatalogueBridge.h"

#include "app/ProgramState.h"
#include "app/Trace.h"
#include "ui/LoadingWindow.h"
#include "ui/RollDownMenuModel.h"

#include <QThread>
#include <chrono>
#include <thread>

namespace {

// The blocking hand-over waits on Qt's semaphore, and Qt is not built for the thread sanitizer, so
// it cannot see the ordering that wait gives. These tell it: what the run wrote before the call
// comes before the work, and the work comes before everything the run does after it.
#if defined(__SANITIZE_THREAD__)
#define VELMORA_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELMORA_TSAN 1
#endif
#endif
#ifdef VELMORA_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
// One token for every hand-over: they follow one another anyway.
char handOverToken;
void handOverAcquire() {
    __tsan_acquire(&handOverToken);
}
void handOverRelease() {
    __tsan_release(&handOverToken);
}
#else
void handOverAcquire() {}
void handOverRelease() {}
#endif

// The work as the UI thread runs it. Qt moves it into the call it queues; once it is there,
// everything the run wrote before is published. Qt may free the call on the run's thread after
// the wait, so the destructor takes the ordering in as well.
class HandOver {
  public:
    explicit HandOver(const std::function<void()>& work) : work_(&work) {}
    HandOver(HandOver&& other) noexcept : work_(other.work_) { handOverRelease(); }
    HandOver& operator=(HandOver&&) = delete;
    ~HandOver() { handOverAcquire(); }
    void operator()() const {
        handOverAcquire();
        (*work_)();
        handOverRelease();
    }

  private:
    const std::function<void()>* work_;
};

} // namespace

CatalogueBridge::CatalogueBridge(LoadingWindow* loading, RollDownMenuModel* menu,
                                 std::function<void()> onIncompleteData, QObject* parent)
    : QObject(parent), loading_(loading), menu_(menu),
      onIncompleteData_(std::move(onIncompleteData)) {}

void CatalogueBridge::onUiThread(const std::function<void()>& work) {
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(this, HandOver(work), Qt::BlockingQueuedConnection);
    handOverAcquire();
}

void CatalogueBridge::setStepText(const QString& text) {
    onUiThread([&] {
        if (loading_)
            loading_->setStepText(text);
    });
    trace(QStringLiteral("step ") + text);
}

void CatalogueBridge::setEntryBox(const std::string& text) {
    onUiThread([&] {
        if (loading_)
            loading_->entryBox().set(text);
    });
}

void CatalogueBridge::appendEntryBox(std::string_view text) {
    onUiThread([&] {
        if (loading_)
            loading_->entryBox().append(text);
    });
}

std::string CatalogueBridge::readEntryBox() {
    std::string text;
    onUiThread([&] {
        if (loading_)
            text = loading_->entryBox().text();
    });
    return text;
}

void CatalogueBridge::appendFinishedBox(std::string_view text) {
    onUiThread([&] {
        if (loading_)
            loading_->finishedBox().append(text);
    });
}

std::string CatalogueBridge::readFinishedBox() {
    std::string text;
    onUiThread([&] {
        if (loading_)
            text = loading_->finishedBox().text();
    });
    return text;
}

void CatalogueBridge::addGroup(const std::string& title, int first, int second) {
    onUiThread([&] {
        if (menu_)
            menu_->AddGroup(title, first, second);
    });
}

void CatalogueBridge::addItem(const std::string& title, int group, GbkCut cut) {
    onUiThread([&] {
        if (menu_)
            menu_->AddItem(title, group, cut);
    });
}

void CatalogueBridge::closeLoadingWindow() {
    onUiThread([&] {
        if (loading_)
            loading_->closeFromRun();
        trace(QStringLiteral("loading-closed elapsed=%1").arg(LoadingElapsed.load()));
    });
}

void CatalogueBridge::reportIncompleteData() {
    // Queued, not blocking: the message waits for the user while the run's thread ends.
    QMetaObject::invokeMethod(
        this, [this] { onIncompleteData_(); }, Qt::QueuedConnection);
}

std::int32_t LoadingClock::elapsed() {
    return LoadingElapsed.load(std::memory_order_relaxed);
}

void LoadingClock::sleepMs(std::int32_t ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
