#pragma once

#include <QColor>

class QPalette;

// The roll-down menu's colours. Under a light palette they are the menu's own light blue look;
// under a dark one they come from the palette's roles, so the menu reads like the rest of the
// desktop.
struct MenuColours {
    QColor frame;
    QColor background;       // behind an open group's items
    QColor foldedBackground; // behind the headers when every group is folded
    QColor headerTop, headerBottom;
    QColor hoveredHeaderTop, hoveredHeaderBottom;
    QColor openHeaderTop, openHeaderBottom;
    QColor headerHighlight; // the line along a header's top
    QColor headerRule;      // and along its bottom
    QColor headerText;
    QColor arrow; // also the keyboard's dotted frame
    QColor itemText;
    QColor itemRule;
    QColor bullet;
    QColor hover;
    QColor selectedTop, selectedBottom;
    QColor selectedText; // also the selected item's bullet and frame
};

// A palette is dark when its text is lighter than the ground it is written on.
bool isDarkPalette(const QPalette& palette);

MenuColours menuColours(const QPalette& palette);
