#pragma once

#include "ui/RollDownMenuLayout.h"

#include <QAccessible>

class RollDownMenu;

// The roll-down menu as assistive technology sees it: a tree named 节目菜单 whose children are the
// group headers, each holding its items, every row named by its title and pressable as a click;
// after them the widgets the menu holds while they show (its scroll bar, the find field, the list
// of matches) and, while a search shows its matches, a notification of what it found. A row that
// lies under such a widget reports that it does not show.

// Registers the menu's accessible interfaces; calling it again changes nothing.
void installRollDownMenuAccessibility();

// Tells assistive technology about a row (created, focused) or a header folding either way.
void notifyMenuRow(RollDownMenu* menu, MenuRow row, QAccessible::Event event);
void notifyMenuExpansion(RollDownMenu* menu, int group);
// Announces what the menu's search found now (RollDownMenuFind::resultText), or that its
// notification went when that text is empty.
void notifyFindResult(RollDownMenu* menu);
