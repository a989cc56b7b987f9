#include "app/CatalogueBridge.h"

#include "app/ProgramState.h"
#include "ui/LoadingWindow.h"
#include "ui/RollDownMenu.h"

#include <QThread>
#include <chrono>
#include <thread>

CatalogueBridge::CatalogueBridge(LoadingWindow* loading, RollDownMenu* menu,
                                 std::function<void()> onIncompleteData, QObject* parent)
    : QObject(parent), loading_(loading), menu_(menu),
      onIncompleteData_(std::move(onIncompleteData)) {}

void CatalogueBridge::onUiThread(const std::function<void()>& work) {
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
}

void CatalogueBridge::setStepText(const QString& text) {
    onUiThread([&] {
        if (loading_)
            loading_->setStepText(text);
    });
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
