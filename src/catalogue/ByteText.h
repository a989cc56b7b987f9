#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Byte-wise text operations on GBK bytes. Positions are 1-based; a miss is -1.

// Position of the first occurrence of `needle` at or after `start`, or -1. A start below 1
// searches from position 1.
std::int32_t FindText(std::string_view text, std::string_view needle, std::int32_t start = 1);

// The bytes of the window [start, start + count - 1] that lie inside the text. A window wholly
// outside the text, or a count below 1, gives the empty text.
std::string MidText(std::string_view text, std::int64_t start, std::int64_t count);

// Splits at every separator. A separator at the very end yields no empty last piece, and the
// empty text yields no piece at all; adjacent separators enclose an empty piece.
std::vector<std::string_view> SplitText(std::string_view text, std::string_view separator);
