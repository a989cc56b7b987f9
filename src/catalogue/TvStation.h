#pragma once

#include "catalogue/Gbk.h"

#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// One of the station's programme categories. Every difference between the categories is a
// column here; the steps themselves are all alike.
struct CategoryRow {
    int number = 0;               // 1..5, the run's order
    std::string label;            // GBK
    QString stepText;             // shown on the loading window while the step runs
    QString listFile;             // relative to the program directory
    std::string pagePath;         // on the station's web server
    int entryCount = 0;           // lines extracted, always exactly this many
    std::string titleAnchor;      // tag whose occurrences mark the titles
    std::int32_t titleOffset = 0; // where the 14-byte title starts, relative to the anchor
    std::string finishedText;     // appended to the finished categories, GBK
    std::int32_t pacingThreshold = 0;
    GbkCut titleCut = GbkCut::CleanStart; // which end of a title lies on a character boundary
};

// The bytes a title and a link take on a category page.
constexpr std::int32_t kTitleLength = 14;
constexpr std::int32_t kLinkLength = 38;

// The station the viewer watches: where it is, its advertisement, its categories, how a
// programme's stream is addressed and the files its data is kept in. Only the host and the
// advertisement's address vary (the configuration sets them); everything else is the station's.
class TvStation {
  public:
    static constexpr int kCategoryCount = 5;
    using Categories = std::array<CategoryRow, kCategoryCount>;

    TvStation() = default;
    explicit TvStation(QString host, QString adUrl = {});

    // The viewer's name, the title of its main window.
    static QString viewerName();
    // host[:port] of the station's web and stream server.
    const QString& host() const { return host_; }
    // The advertisement page's start address.
    const QString& adUrl() const { return adUrl_; }

    // In run order.
    static const Categories& categories();
    // The category whose label is exactly `label` (GBK bytes), or nullptr.
    static const CategoryRow* categoryByLabel(std::string_view label);

    // "http://" + host + the category's page path.
    std::string pageUrl(const CategoryRow& row) const;

    // The address of a programme's stream: "mms://" + host + "/sp/" + title + ".wmv". The title
    // is the one the menu shows, decoded once; every character outside the URL-unreserved set is
    // percent-encoded as UTF-8, so the server receives exactly the title, spaces, "%", "#" and
    // "?" included. A byte that did not decode is percent-encoded as itself, so titles that
    // differ only in such bytes still name different streams.
    QString streamUrl(const GbkDecoded& title) const;

    // The data the program keeps, relative to the program directory: the download folder that
    // holds the categories' list files, and the combined catalogue.
    static QString downloadFolder(); // "/xzwj"
    static QString catalogueFile();  // "/spsj.txt"

  private:
    QString host_;
    QString adUrl_;
};
