#pragma once

#include "catalogue/CombinedCatalogue.h"
#include "catalogue/TvStation.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// What the run does to window units. Each call has taken effect when it returns, because the run
// reads back what it has just written.
class CatalogueUnits {
  public:
    virtual ~CatalogueUnits() = default;
    virtual void setStepText(const QString& text) = 0;     // 透明标签2
    virtual void setEntryBox(const std::string& text) = 0; // 编辑框1
    virtual void appendEntryBox(std::string_view text) = 0;
    virtual std::string readEntryBox() = 0;
    virtual void appendFinishedBox(std::string_view text) = 0; // 编辑框2
    virtual std::string readFinishedBox() = 0;
    virtual void addGroup(const std::string& title, int first, int second) = 0; // 卷帘式菜单1
    virtual void addItem(const std::string& title, int group, GbkCut cut) = 0;
    virtual void closeLoadingWindow() = 0;
    // Tells the user that data is missing; the process ends once the message is dismissed.
    virtual void reportIncompleteData() = 0;
};

// The loading clock and the run's sleeps; tests replace both.
class RunClock {
  public:
    virtual ~RunClock() = default;
    virtual std::int32_t elapsed() = 0; // LoadingElapsed
    virtual void sleepMs(std::int32_t ms) = 0;
};

struct CatalogueRunContext {
    CatalogueUnits& units;
    RunClock& clock;
    std::function<std::string(const std::string& url)> download;
    QString programDirectory;
    TvStation station;
    CategoryTexts categoryLines{};
};

void FetchCategory(const CategoryRow& row, CatalogueRunContext& run);
void BuildCombinedCatalogue(CatalogueRunContext& run);
// True when all five list files hold data; otherwise reports and returns false.
bool CheckCatalogueComplete(CatalogueRunContext& run);
void CatalogueRun(CatalogueRunContext& run);

// The wait a category step makes after its work, at the given loading clock reading.
std::int32_t stepPacingWait(const CategoryRow& row, std::int32_t elapsed);
// The wait that holds the loading window until it has been up for 2000 ms.
std::int32_t loadingHoldWait(std::int32_t elapsed);
