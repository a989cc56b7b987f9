#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

// GBK is the encoding of every byte text of the system: pages, list files, entry lines, titles.
// These helpers are the only place where GBK meets Unicode.

// Which end of a byte cut is known to sit on a character boundary. A title cut forward from an
// anchor starts clean and may end inside a character; one cut backward from "</a>" ends clean and
// may start inside one.
enum class GbkCut { CleanStart, CleanEnd };

// GBK bytes as they arrived: nothing in a name of this type has been decoded.
using GbkBytes = std::string;

// A byte text decoded once, for every place that shows or names it: the text as shown, and
// the bytes behind each replacement character in it, so that those can still be told apart.
struct GbkDecoded {
    QString text;                    // a byte that is not part of a whole character is U+FFFD
    std::vector<std::string> broken; // the bytes behind each U+FFFD of `text`, in order
};

// Decodes. A byte that is not part of a whole character shows as U+FFFD and nothing else
// changes: a broken byte never swallows its neighbour. A pair the code page leaves unassigned is
// one U+FFFD for both of its bytes.
GbkDecoded decodeGbk(std::string_view bytes, GbkCut cut = GbkCut::CleanStart);

// The text of decodeGbk(), for display.
QString gbkToDisplay(std::string_view bytes, GbkCut cut = GbkCut::CleanStart);

// Encodes one of the system's own texts. Every such text is representable in GBK.
std::string toGbk(const QString& text);
