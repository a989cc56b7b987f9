#pragma once

#include <QString>
#include <string>
#include <string_view>

// GBK is the encoding of every byte text of the system: pages, list files, entry lines, titles.
// These helpers are the only place where GBK meets Unicode.

// Which end of a byte cut is known to sit on a character boundary. A title cut forward from an
// anchor starts clean and may end inside a character; one cut backward from "</a>" ends clean and
// may start inside one.
enum class GbkCut { CleanStart, CleanEnd };

// Decodes for display. A byte that is not part of a whole character shows as U+FFFD and nothing
// else changes: a broken byte never swallows its neighbour.
QString gbkToDisplay(std::string_view bytes, GbkCut cut = GbkCut::CleanStart);

// Encodes one of the system's own texts. Every such text is representable in GBK.
std::string toGbk(const QString& text);
