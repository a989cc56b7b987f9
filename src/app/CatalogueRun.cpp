#include "app/CatalogueRun.h"

#include "catalogue/FileIo.h"
#include "catalogue/HttpGet.h"
#include "catalogue/PageExtraction.h"

namespace {
constexpr std::int32_t kLoadingHoldMs = 2000;
constexpr std::int32_t kLastStepTargetMs = 1500;
constexpr std::int32_t kStepWaitMs = 100;
} // namespace

std::int32_t stepPacingWait(const CategoryRow& row, std::int32_t elapsed) {
    if (elapsed >= row.pacingThreshold)
        return 0;
    // The last step stretches a fast run to about 1500 ms; the others add 100 ms while ahead.
    if (row.number == TvStation::kCategoryCount)
        return std::max(kLastStepTargetMs - elapsed, 0);
    return kStepWaitMs;
}

std::int32_t loadingHoldWait(std::int32_t elapsed) {
    return elapsed < kLoadingHoldMs ? kLoadingHoldMs - elapsed : 0;
}

void FetchCategory(const CategoryRow& row, CatalogueRunContext& run) {
    if (row.number > 1)
        run.units.setEntryBox({});
    run.units.setStepText(row.stepText);

    const std::string body = run.download ? run.download(run.station.pageUrl(row)) : std::string();

    // The bytes come from the network: no link inside the program directory is followed.
    writeDataFile(run.programDirectory, row.listFile, body);
    // What was written is read back, so a list file that cannot be replaced shows its old content.
    const std::string page =
        readDataFile(run.programDirectory, row.listFile, HttpLimits{}.maxBodyBytes)
            .value_or(std::string());
    const std::string section = cutContentSection(page);
    writeDataFile(run.programDirectory, row.listFile, section);

    for (const std::string& line : extractEntryLines(row, section))
        run.units.appendEntryBox(line);
    run.categoryLines[size_t(row.number - 1)] = run.units.readEntryBox();
    run.units.appendFinishedBox(row.finishedText);

    if (run.clock.elapsed() < row.pacingThreshold)
        run.clock.sleepMs(stepPacingWait(row, run.clock.elapsed()));
}

void BuildCombinedCatalogue(CatalogueRunContext& run) {
    run.units.setStepText(QStringLiteral("正在生成列表..."));
    writeDataFile(run.programDirectory, TvStation::catalogueFile(),
                  combineCatalogue(run.categoryLines));

    for (const MenuGroupPlan& group : planMenu(run.units.readFinishedBox(), run.categoryLines)) {
        run.units.addGroup(group.title, group.ordinal, group.ordinal);
        for (const MenuItemPlan& item : group.items)
            run.units.addItem(item.title, item.group, item.cut);
    }

    if (run.clock.elapsed() < kLoadingHoldMs)
        run.clock.sleepMs(loadingHoldWait(run.clock.elapsed()));
    run.units.closeLoadingWindow();
}

bool CheckCatalogueComplete(CatalogueRunContext& run) {
    for (const CategoryRow& row : run.station.categories()) {
        // A list file that cannot be measured holds no usable data either.
        if (dataFileSize(run.programDirectory, row.listFile).value_or(0) == 0) {
            run.units.reportIncompleteData();
            return false;
        }
    }
    return true;
}

void CatalogueRun(CatalogueRunContext& run) {
    for (const CategoryRow& row : run.station.categories())
        FetchCategory(row, run);
    BuildCombinedCatalogue(run);
    CheckCatalogueComplete(run);
}
