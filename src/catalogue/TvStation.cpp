#include "catalogue/TvStation.h"

#include <QByteArray>

namespace {

CategoryRow row(int number, const QString& label, const char* listFile, const char* pagePath,
                int entryCount, const char* anchor, std::int32_t offset) {
    constexpr int last = TvStation::kCategoryCount;
    CategoryRow r;
    r.number = number;
    r.label = toGbk(label);
    r.stepText = label + QStringLiteral("...");
    r.listFile = TvStation::downloadFolder() + QLatin1Char('/') + QLatin1String(listFile);
    r.pagePath = pagePath;
    r.entryCount = entryCount;
    r.titleAnchor = anchor;
    r.titleOffset = offset;
    // The last label closes the list, so the finished labels carry no separator at the end.
    r.finishedText = number < last ? r.label + "|" : r.label;
    r.pacingThreshold = number < last ? 200 * number : 1000;
    r.titleCut = offset < 0 ? GbkCut::CleanEnd : GbkCut::CleanStart;
    return r;
}

} // namespace

TvStation::TvStation(QString host, QString adUrl)
    : host_(std::move(host)), adUrl_(std::move(adUrl)) {}

QString TvStation::viewerName() {
    return QStringLiteral("Velmora网络电视");
}

const TvStation::Categories& TvStation::categories() {
    static const Categories table = {
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

const CategoryRow* TvStation::categoryByLabel(std::string_view label) {
    for (const CategoryRow& r : categories()) {
        if (r.label == label)
            return &r;
    }
    return nullptr;
}

std::string TvStation::pageUrl(const CategoryRow& row) const {
    return "http://" + host_.toStdString() + row.pagePath;
}

QString TvStation::streamUrl(const GbkDecoded& title) const {
    QByteArray name;
    size_t broken = 0;
    QString pending; // decoded characters since the last broken byte
    const auto flush = [&] {
        // toPercentEncoding leaves exactly ALPHA, DIGIT and "-._~" alone.
        name += pending.toUtf8().toPercentEncoding();
        pending.clear();
    };
    for (const QChar c : title.text) {
        if (c != QChar::ReplacementCharacter || broken >= title.broken.size()) {
            pending += c;
            continue;
        }
        flush();
        const std::string& bytes = title.broken[broken++];
        name += QByteArray(bytes.data(), qsizetype(bytes.size())).toPercentEncoding();
    }
    flush();
    return QStringLiteral("mms://") + host_ + QStringLiteral("/sp/") + QString::fromLatin1(name) +
           QStringLiteral(".wmv");
}

QString TvStation::downloadFolder() {
    return QStringLiteral("/xzwj");
}

QString TvStation::catalogueFile() {
    return QStringLiteral("/spsj.txt");
}
