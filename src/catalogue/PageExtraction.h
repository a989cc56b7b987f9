#pragma once

#include "catalogue/TvStation.h"

#include <string>
#include <string_view>
#include <vector>

// The page bytes between the end of the first "<!--Content Start-->" and the start of the first
// "<!--Content End-->". A missing start marker cuts from position 19 (its miss arithmetic); a
// missing or earlier end marker gives the empty text.
std::string cutContentSection(std::string_view page);

// Exactly row.entryCount entry lines, "label|title|link\r\n", in loop order. The title chain and
// the link chain advance independently and a miss is carried on by the same arithmetic, so a
// page with fewer entries still gives the full count.
std::vector<std::string> extractEntryLines(const CategoryRow& row, std::string_view section);
