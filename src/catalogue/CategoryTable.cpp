#include "catalogue/CategoryTable.h"

namespace {

CategoryRow row(int number, const QString& label, const char* listFile, const char* pagePath,
                int entryCount, const char* anchor, std::int32_t offset) {
    CategoryRow r;
    r.number = number;
    r.label = toGbk(label);
    r.stepText = label + QStringLiteral("...");
    r.listFile = QStringLiteral("/xzwj/") + QLatin1String(listFile);
    r.pagePath = pagePath;
    r.entryCount = entryCount;
    r.titleAnchor = anchor;
    r.titleOffset = offset;
    // The last label closes the list, so the finished labels carry no separator at the end.
    r.finishedText = number < kCategoryCount ? r.label + "|" : r.label;
    r.pacingThreshold = number < kCategoryCount ? 200 * number : 1000;
    r.titleCut = offset < 0 ? GbkCut::CleanEnd : GbkCut::CleanStart;
    return r;
}

} // namespace

const std::vector<CategoryRow>& CategoryTable() {
    static const std::vector<CategoryRow> table = {
        row(1, QStringLiteral("新闻联播"), "xwlb.txt", "/index/4/20100112/100813.shtml", 50,
            "<strong>", 39),
        row(2, QStringLiteral("药都时空"), "ydsk.txt", "/index/4/20100112/100751.shtml", 50,
            "<strong>", 8),
        row(3, QStringLiteral("走进农家"), "zjnj.txt", "/index/4/20100112/100702.shtml", 20,
            "<strong>", 39),
        row(4, QStringLiteral("谯城报道"), "qcbd.txt", "/index/4/20100112/100727.shtml", 48,
            "<strong>", 39),
        row(5, QStringLiteral("药都论坛"), "ydlt.txt", "/index/4/20100112/100639.shtml", 7, "</a>",
            -14),
    };
    return table;
}

const CategoryRow* categoryByLabel(std::string_view label) {
    for (const CategoryRow& r : CategoryTable()) {
        if (r.label == label)
            return &r;
    }
    return nullptr;
}
