#include "StationPages.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtGlobal>
#include <array>
#include <cstdio>

namespace station {

namespace {

// The rows, in the order the viewer fetches them. Labels are kept in UTF-8 here; they only appear
// in page text that is converted to GBK as a whole.
struct RowData {
    CategoryLayout layout;
    std::string_view label;
    std::string_view pageId;
    int daysBetweenEntries;
    int entries;
};

constexpr std::array<RowData, kCategoryRows> kRows{{
    {{"/index/4/20100112/100813.shtml", 50, "<strong>", 39}, "新闻联播", "100813", 1, 60},
    {{"/index/4/20100112/100751.shtml", 50, "<strong>", 8}, "药都时空", "100751", 2, 60},
    {{"/index/4/20100112/100702.shtml", 20, "<strong>", 39}, "走进农家", "100702", 3, 30},
    {{"/index/4/20100112/100727.shtml", 48, "<strong>", 39}, "谯城报道", "100727", 1, 60},
    {{"/index/4/20100112/100639.shtml", 7, "</a>", -14}, "药都论坛", "100639", 7, 12},
}};

// Seven characters each; every one of them becomes a stream file name, so no two alike.
constexpr std::array<std::string_view, 30> kLocalTopics{
    "药市新貌看今朝", "中药材价格走势", "古城老街话变迁", "花戏楼里听古韵", "百年药号传家风",
    "芍药花开满田园", "药农致富新门路", "城区道路改造记", "新春庙会闹元宵", "老字号里的匠心",
    "养生药膳进万家", "社区服务暖人心", "非遗剪纸进校园", "夜市经济火起来", "公交线路新调整",
    "药交会开幕盛况", "文明城市创建中", "冬季取暖安全谈", "一条小巷的故事", "菊花茶飘香四季",
    "城市绿化再提升", "中医馆里的坚守", "春运路上的温暖", "学子返乡过大年", "环卫工人的一天",
    "小城酒香飘千年", "药都美食大搜罗", "志愿服务在身边", "消防安全进社区", "老年大学新气象",
};

constexpr std::array<std::string_view, 30> kFarmTopics{
    "大棚蔬菜种植术", "冬小麦田间管理", "科学养猪致富经", "果树冬季巧修剪", "中药材规范种植",
    "土壤测试配方肥", "农机补贴惠农家", "肉牛养殖新技术", "食用菌栽培要点", "春耕备耕正当时",
    "白芍种植增效益", "农村合作社探访", "家庭农场新模式", "防治病虫有妙招", "蛋鸡养殖防疫病",
    "温室育苗关键期", "种粮大户话丰收", "农产品网上销售", "秸秆还田好处多", "小龙虾稻田共养",
    "优质小麦品种选", "雪后大棚保温法", "节水灌溉新设备", "农家乐里话致富", "黄牛改良见成效",
    "菊花种植采收忙", "山羊舍饲新方法", "桑蚕养殖技术谈", "村村通路到农家", "新型农民培训班",
};

constexpr std::array<std::string_view, 30> kReportTopics{
    "重点工程建设忙", "全区经济工作会", "招商引资结硕果", "城乡低保全覆盖", "道路交通大整治",
    "安全生产大检查", "冬季征兵工作忙", "新农合惠及农民", "义务教育均衡化", "供水管网改造中",
    "食品安全进校园", "春节市场供应足", "节前走访慰问忙", "工业园区新项目", "棚户区改造提速",
    "扶贫帮困送温暖", "农民工工资保障", "医疗改革见成效", "文化惠民大舞台", "平安创建在行动",
    "人大代表视察记", "政协委员建言录", "森林防火不放松", "环保执法大行动", "治安防控再加强",
    "职业技能培训班", "教师节表彰大会", "重阳敬老献爱心", "全民健身运动会", "新校舍投入使用",
};

constexpr std::array<std::string_view, 12> kForumTopics{
    "发展特色农业谈", "中药产业向何方", "民生实事大家议", "城市管理谁来管",
    "教育公平话题谈", "老城保护与开发", "就业创业新思路", "乡村旅游怎么做",
    "文明礼仪伴我行", "食品安全大家谈", "看病难怎么破解", "物价上涨的背后",
};

const RowData& rowData(int row) {
    if (row < 1 || row > kCategoryRows)
        qFatal("no category row %d", row);
    return kRows[static_cast<std::size_t>(row - 1)];
}

// "新闻联播0112期": a dated episode title, 8 + 4 + 2 = 14 bytes in GBK.
std::string episodeTitle(std::string_view label, const QDate& d) {
    char mmdd[8];
    std::snprintf(mmdd, sizeof mmdd, "%02d%02d", d.month(), d.day());
    return std::string(label) + mmdd + "期";
}

std::string topicFor(int row, int i) {
    switch (row) {
    case 2:
        return std::string(kLocalTopics[static_cast<std::size_t>(i)]);
    case 3:
        return std::string(kFarmTopics[static_cast<std::size_t>(i)]);
    case 4:
        return std::string(kReportTopics[static_cast<std::size_t>(i)]);
    default:
        return std::string(kForumTopics[static_cast<std::size_t>(i)]);
    }
}

std::vector<DemoEntry> makeEntries(int row) {
    const RowData& r = rowData(row);
    const QDate newest(2010, 1, 12);
    std::vector<DemoEntry> out;
    out.reserve(static_cast<std::size_t>(r.entries));
    for (int i = 0; i < r.entries; ++i) {
        const QDate d = newest.addDays(-static_cast<qint64>(i) * r.daysBetweenEntries);
        std::string titleUtf8;
        if (row == 1)
            titleUtf8 = episodeTitle(r.label, d);
        else if (row == 3 || row == 5)
            titleUtf8 = topicFor(row, i);
        else // topics and dated episodes alternate, as on a weekly magazine programme's list
            titleUtf8 = (i % 2 == 0) ? topicFor(row, i / 2) : episodeTitle(r.label, d);

        char link[64];
        std::snprintf(link, sizeof link, "/index/4/%04d%02d%02d/vod%.*s%05d.shtml", d.year(),
                      d.month(), d.day(), static_cast<int>(r.pageId.size()), r.pageId.data(),
                      r.entries - i);
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.year(), d.month(), d.day());

        DemoEntry e{toGbk(titleUtf8), link, date};
        if (e.title.size() != kTitleBytes || e.link.size() != kLinkBytes)
            qFatal("demo entry %d of row %d does not fit the page layout", i, row);
        out.push_back(std::move(e));
    }
    return out;
}

// One entry's HTML in UTF-8 apart from the title, which is already GBK. Everything between the
// anchor and the title is ASCII so byte offsets are the same before and after conversion.
std::string entryHtml(int row, const DemoEntry& e) {
    std::string h;
    const std::string mmdd = e.date.substr(5);
    switch (row) {
    case 2:
        h += "<li><span class=\"d\">" + e.date + "</span><a href=\"" + e.link +
             "\" target=\"_blank\" class=\"t\"><strong>" + e.title + "</strong></a></li>\n";
        break;
    case 5:
        h += "<li><a href=\"" + e.link + "\" target=\"_blank\">" + e.title +
             "</a><span class=\"d\">" + e.date + "</span></li>\n";
        break;
    default:
        // 31 bytes between the end of <strong> and the title: <span class="d">[MM-DD]</span> + ' '
        h += "<li><a href=\"" + e.link + "\" target=\"_blank\"><strong><span class=\"d\">[" + mmdd +
             "]</span> " + e.title + "</strong></a><em>" + e.date + "</em></li>\n";
        break;
    }
    return h;
}

std::string navHtml(int current) {
    std::string h = "<div id=\"nav\"><a href=\"/\">首页</a>";
    for (int row = 1; row <= kCategoryRows; ++row) {
        const RowData& r = rowData(row);
        h += " | <a href=\"";
        h += r.layout.path;
        h += row == current ? "\" class=\"on\">" : "\">";
        h += r.label;
        h += "</a>";
    }
    h += " | <a href=\"/ad/index.html\">广告服务</a></div>\n";
    return h;
}

} // namespace

const CategoryLayout& categoryLayout(int row) {
    return rowData(row).layout;
}

int rowForPath(std::string_view path) {
    for (int row = 1; row <= kCategoryRows; ++row) {
        if (rowData(row).layout.path == path)
            return row;
    }
    return 0;
}

const std::vector<DemoEntry>& demoEntries(int row) {
    static const std::array<std::vector<DemoEntry>, kCategoryRows> all{
        makeEntries(1), makeEntries(2), makeEntries(3), makeEntries(4), makeEntries(5)};
    (void)rowData(row); // checks the row
    return all[static_cast<std::size_t>(row - 1)];
}

std::string toGbk(std::string_view utf8) {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QStringEncoder encoder("GBK");
    QStringDecoder decoder("GBK");
    if (!encoder.isValid() || !decoder.isValid())
        qFatal("GBK codec unavailable");
    const QByteArray gbk = encoder.encode(text);
    const QString back = decoder.decode(gbk);
    if (encoder.hasError() || decoder.hasError() || back != text)
        qFatal("text does not convert to GBK without loss");
    return gbk.toStdString();
}

std::string buildCategoryPage(int row) {
    const RowData& r = rowData(row);
    const std::string label(r.label);
    // Built in UTF-8 around GBK titles, then converted piecewise: the titles are spliced in after
    // conversion so each one is exactly the bytes the demo catalogue promises.
    std::string head;
    head += "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
            "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
            "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n<head>\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\n";
    head += "<title>" + label + "_Velmora网络电视</title>\n";
    head += "<meta name=\"keywords\" content=\"" + label + ",网络电视,点播,本地新闻\" />\n";
    head += "<style type=\"text/css\">\n"
            "body{margin:0;font:12px/1.8 \"宋体\",SimSun,serif;background:#eef3f8;color:#333}\n"
            "#top{height:60px;background:#1d5fa8;color:#fff;padding:0 20px}\n"
            "#top h1{margin:0;font-size:26px;line-height:60px}\n"
            "#nav{background:#f5a623;padding:4px 20px}#nav a{color:#fff;margin:0 6px}\n"
            ".list{width:760px;margin:12px auto;background:#fff;border:1px solid #c9d6e3}\n"
            ".list h2{margin:0;padding:4px 10px;font-size:14px;background:#dfe9f4}\n"
            ".list li{list-style:none;border-bottom:1px dashed #ddd}\n"
            ".d,em{color:#888;font-style:normal;margin:0 8px}\n"
            "#foot{text-align:center;color:#666;padding:10px}\n"
            "</style>\n</head>\n<body>\n"
            "<div id=\"top\"><h1>Velmora网络电视</h1></div>\n";
    head += navHtml(row);
    head += "<div class=\"where\">当前位置：首页 &gt; 视频点播 &gt; " + label + "</div>\n";

    std::string page = toGbk(head);
    page += kContentStart;
    page += toGbk("\n<div class=\"list\">\n<h2>" + label + "</h2>\n<ul>\n");
    for (const DemoEntry& e : demoEntries(row)) {
        const std::string html = entryHtml(row, e);
        // Only ASCII surrounds the title, so converting the parts around it is exact.
        const std::size_t at = html.find(e.title);
        page += toGbk(std::string_view(html).substr(0, at));
        page += e.title;
        page += toGbk(std::string_view(html).substr(at + e.title.size()));
    }
    page += toGbk("</ul>\n</div>\n");
    page += kContentEnd;

    std::string tail = "\n<div class=\"pages\">共 " + std::to_string(demoEntries(row).size()) +
                       " 条 <a href=\"" + std::string(r.layout.path) +
                       "\">首页</a> <a href=\"#\">下一页</a></div>\n"
                       "<div id=\"foot\">Velmora网络电视 版权所有 &copy; 2010<br />"
                       "地址：人民中路广电大楼 电话：0558-5550100</div>\n</body>\n</html>\n";
    page += toGbk(tail);
    return page;
}

std::string buildAdPage() {
    return R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>Velmora网络电视</title>
<style>
html,body{margin:0;padding:0;width:336px;height:280px;overflow:hidden;
  font-family:"Noto Sans CJK SC","AR PL UMing CN",sans-serif;background:#fdfaf3}
.banner{height:120px;background:linear-gradient(135deg,#0f4c81 0%,#1f7a8c 60%,#f2a541 100%);
  color:#fff;display:flex;flex-direction:column;justify-content:center;align-items:center}
.banner h1{margin:0;font-size:30px;letter-spacing:2px;text-shadow:0 2px 4px rgba(0,0,0,.35)}
.banner p{margin:6px 0 0;font-size:15px;opacity:.92}
.body{padding:14px 18px;color:#3b3b3b;font-size:13px;line-height:1.7}
.body b{color:#0f4c81}
.tag{display:inline-block;margin:8px 6px 0 0;padding:2px 10px;border-radius:11px;
  background:#e8f1f8;color:#0f4c81;font-size:12px}
</style>
</head>
<body>
<div class="banner">
  <h1>Velmora网络电视</h1>
  <p>看家乡新闻 · 品药都风采</p>
</div>
<div class="body">
  每天更新 <b>新闻联播</b>、<b>药都时空</b>、<b>走进农家</b>、<b>谯城报道</b>与<b>药都论坛</b>，随时点播。
  <div><span class="tag">本地新闻</span><span class="tag">农业科技</span><span class="tag">百姓论坛</span></div>
</div>
</body>
</html>
)";
}

std::string buildErrorPage(int status, std::string_view reason) {
    std::string h = "<html><head><title>" + std::to_string(status) + " ";
    h += reason;
    h += "</title></head><body><h1>" + std::to_string(status) + " ";
    h += reason;
    h += "</h1></body></html>\n";
    return h;
}

} // namespace station
