#pragma once

#include "app/CatalogueRun.h"

#include <QObject>
#include <QPointer>
#include <functional>

class LoadingWindow;
class RollDownMenuModel;

// Carries every unit operation of the run from its thread to the UI thread and returns once the
// change has taken effect there. The UI thread never waits for the run.
class CatalogueBridge : public QObject, public CatalogueUnits {
    Q_OBJECT
  public:
    CatalogueBridge(LoadingWindow* loading, RollDownMenuModel* menu,
                    std::function<void()> onIncompleteData, QObject* parent = nullptr);

    void setStepText(const QString& text) override;
    void setEntryBox(const std::string& text) override;
    void appendEntryBox(std::string_view text) override;
    std::string readEntryBox() override;
    void appendFinishedBox(std::string_view text) override;
    std::string readFinishedBox() override;
    void addGroup(const std::string& title, int first, int second) override;
    void addItem(const std::string& title, int group, GbkCut cut) override;
    void closeLoadingWindow() override;
    void reportIncompleteData() override;

  private:
    void onUiThread(const std::function<void()>& work);

    QPointer<LoadingWindow> loading_;
    QPointer<RollDownMenuModel> menu_;
    std::function<void()> onIncompleteData_;
};

// The loading clock as the run sees it: LoadingElapsed and real sleeps.
class LoadingClock : public RunClock {
  public:
    std::int32_t elapsed() override;
    void sleepMs(std::int32_t ms) override;
};
