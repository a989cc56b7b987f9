// How long a key takes to give the filtered roll-down menu, over the whole catalogue the station
// serves (its five real pages, 175 items) plus a full library: from the key event to the menu
// painted. Usage: bench_menu_find [rounds]; run under Xvfb.
#include "StationPages.h"
#include "catalogue/CombinedCatalogue.h"
#include "catalogue/PageExtraction.h"
#include "catalogue/TvStation.h"
#include "ui/RollDownMenu.h"
#include "ui/RollDownMenuFind.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void fillFromStation(RollDownMenu& menu) {
    CategoryTexts texts;
    std::string finished;
    for (const CategoryRow& row : TvStation::categories()) {
        const std::string page = station::buildCategoryPage(row.number);
        for (const std::string& line : extractEntryLines(row, cutContentSection(page)))
            texts[size_t(row.number - 1)] += line;
        finished += row.finishedText;
    }
    for (const MenuGroupPlan& group : planMenu(finished, texts)) {
        menu.AddGroup(group.title, group.ordinal, group.ordinal);
        for (const MenuItemPlan& item : group.items)
            menu.AddItem(item.title, group.ordinal - 1, item.cut);
    }
}

// 我的收藏 and 最近观看 as full as a user could make them within the catalogue.
void addLibrary(RollDownMenuModel& model) {
    RollDownMenuModel::LibraryGroup favourites{QStringLiteral("我的收藏"), {}};
    RollDownMenuModel::LibraryGroup recent{QStringLiteral("最近观看"), {}};
    for (int i = 0; i < model.stationItemCount(); ++i) {
        favourites.entries.push_back({QString(), i});
        if (i < 10)
            recent.entries.push_back({QString(), i});
    }
    model.setLibraryGroups({favourites, recent});
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    QWidget window;
    auto* menu = new RollDownMenu(&window);
    menu->setGeometry(0, 0, 152, 440);
    window.resize(152, 440);
    fillFromStation(*menu);
    addLibrary(menu->model());
    RollDownMenuFind find(*menu);
    window.show();
    window.activateWindow();
    app.processEvents();

    // Each round types a text key by key, as a user would: one digit that matches many titles,
    // one that narrows, then one that matches nothing; then clears.
    const QString typed = QStringLiteral("２0x");
    std::vector<double> firstKey, allKeys;
    for (int round = 0; round < rounds; ++round) {
        find.close();
        menu->setFocus();
        app.processEvents();
        for (int k = 0; k < typed.size(); ++k) {
            QWidget* target = k == 0 ? static_cast<QWidget*>(menu) : &find.field();
            QElapsedTimer clock;
            clock.start();
            QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(typed[k]));
            QApplication::sendEvent(target, &key);
            // Painted: the list's and the menu's pending paints done now, not at the next frame.
            find.matches().repaint();
            menu->repaint();
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            if (k == 0)
                firstKey.push_back(ms);
            allKeys.push_back(ms);
        }
    }
    std::printf("items %d (station %d); rounds %d\n", menu->model().itemCount(),
                menu->model().stationItemCount(), rounds);
    std::printf("key -> filtered menu painted: median %.2f ms, worst %.2f ms (all keys)\n",
                median(allKeys), *std::max_element(allKeys.begin(), allKeys.end()));
    std::printf("first key (opens the field): median %.2f ms\n", median(firstKey));
    return 0;
}
