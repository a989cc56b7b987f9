#pragma once

#include "ui/RollDownMenuLayout.h"

#include <QAccessible>

class RollDownMenu;

// The roll-down menu as assistive technology sees it: a tree whose children are the group
// headers, each holding its items, every row named by its title and pressable as a click.

// Registers the menu's accessible interfaces; calling it again changes nothing.
void installRollDownMenuAccessibility();

// Tells assistive technology about a row (created, focused) or a header folding either way.
void notifyMenuRow(RollDownMenu* menu, MenuRow row, QAccessible::Event event);
void notifyMenuExpansion(RollDownMenu* menu, int group);
