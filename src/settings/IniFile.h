#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

// A line-preserving INI reader and writer on byte text (GBK or ASCII), following the lookup rules
// of the Windows profile functions so that files written there read the same here:
// - lines end in CR LF, LF or a lone CR; a UTF-8 byte-order mark before the first line is skipped;
// - a line whose first non-blank byte is '[' and that holds a ']' is a section header; the name is
//   everything between the '[' and the last ']', taken as is;
// - any other line holding '=' is a key line: the name before the first '=' and the value after
//   it, both trimmed of blanks (space, tab, CR, LF, VT, FF and Ctrl-Z). Other lines (comments,
//   blank lines, stray text) belong to no key and are kept untouched;
// - names compare without regard to ASCII case; a double-byte GBK character compares exactly;
// - the first section of a name counts, and within it the first key of a name;
// - a value enclosed in a matching pair of single or double quotation marks loses them.
// Every input is valid: unknown or malformed bytes are kept, never rejected. Reading and writing
// keep nothing per line: the cost is the text itself and, for a write, the one changed line.

// The value of `key` in `section` as read by the rules above; nullopt when either is absent.
std::optional<std::string> iniValue(std::string_view content, std::string_view section,
                                    std::string_view key);

// `content` with `key` in `section` set to `value`. Only the key's own line changes; a missing key
// is added after the section's last key line, a missing section at the end of the text. New lines
// take the text's first line ending (CR LF for a text that has none). nullopt when the names or
// the value cannot stand on one line (empty names, line breaks, '=' or a leading '[' in the key,
// blanks around the key).
std::optional<std::string> withIniValue(std::string_view content, std::string_view section,
                                        std::string_view key, std::string_view value);

// A settings file larger than this is unreadable: nobody writes one by hand, and reading it would
// hold the user up for nothing.
inline constexpr qint64 kMaxIniFileBytes = qint64(16) << 20;

// The file's value, or `defaultValue` when the file, the section or the key is missing or the
// file is unreadable (not a regular file, or over kMaxIniFileBytes).
std::string readIniValue(const QString& path, std::string_view section, std::string_view key,
                         std::string_view defaultValue = {});

// Sets one value and replaces the file atomically. The file is the user's own: a link in its
// place is kept and the file it leads to is replaced. False when the existing file cannot be read
// (it is then left alone rather than replaced by a file holding only this value), when a link
// leads nowhere, or when the write fails.
bool writeIniValue(const QString& path, std::string_view section, std::string_view key,
                   std::string_view value);
