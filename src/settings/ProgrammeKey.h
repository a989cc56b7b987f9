#pragma once

#include <QString>

// A programme as the menu names it: its category's label and its title, both exactly as shown.
struct ProgrammeKey {
    QString category;
    QString title;
    bool operator==(const ProgrammeKey&) const = default;
};
