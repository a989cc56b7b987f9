#pragma once

#include <QWidget>
#include <vector>

class RollDownMenu;

// The widgets the roll-down menu holds (its scroll bar, the find field, the list of matches) as
// assistive technology sees them: children of the menu while they show.

// Those that show, bottom to top, less any that lies wholly under another (the scroll bar under
// the list of matches).
std::vector<QWidget*> shownChildWidgets(const QWidget& menu);

// From now on, tells assistive technology of each such widget that comes or goes, as a child
// added or removed, and of the menu's rows it covers or uncovers, as no longer or again showing.
void watchMenuChildren(RollDownMenu* menu);
