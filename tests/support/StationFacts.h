#pragma once

#include <array>
#include <string>

// The station's five categories as the tests know them: written out here, never read from the
// code under test, so that a changed table fails the tests instead of moving their expectations.
namespace facts {

struct Category {
    const char* label; // GBK
    const char* listFile;
    const char* pagePath;
    int entries;
};

inline const std::array<Category, 5> kCategories = {{
    {"\xd0\xc2\xce\xc5\xc1\xaa\xb2\xa5", "/xzwj/xwlb.txt", "/index/4/20100112/100813.shtml", 50},
    {"\xd2\xa9\xb6\xbc\xca\xb1\xbf\xd5", "/xzwj/ydsk.txt", "/index/4/20100112/100751.shtml", 50},
    {"\xd7\xdf\xbd\xf8\xc5\xa9\xbc\xd2", "/xzwj/zjnj.txt", "/index/4/20100112/100702.shtml", 20},
    {"\xda\xdb\xb3\xc7\xb1\xa8\xb5\xc0", "/xzwj/qcbd.txt", "/index/4/20100112/100727.shtml", 48},
    {"\xd2\xa9\xb6\xbc\xc2\xdb\xcc\xb3", "/xzwj/ydlt.txt", "/index/4/20100112/100639.shtml", 7},
}};

// Category `number` (1..5).
inline const Category& category(int number) {
    return kCategories.at(size_t(number - 1));
}

inline std::string label(int number) {
    return category(number).label;
}

} // namespace facts
