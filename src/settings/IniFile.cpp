#include "settings/IniFile.h"

#include "catalogue/FileIo.h"

namespace {

struct Line {
    size_t begin = 0; // first byte
    size_t end = 0;   // one past the last byte before the line ending
    size_t next = 0;  // one past the line ending
};

enum class LineKind { Other, Header, Key };

struct ParsedLine {
    Line span;
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name
    std::string_view value; // key lines: the value, trimmed, quotes still on
    size_t equals = 0;      // key lines: offset of the '=' in the content
};

bool isBlank(char c) {
    switch (c) {
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '\v':
    case '\f':
    case '\x1a':
        return true;
    default:
        return false;
    }
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

unsigned char asciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// A GBK lead byte takes the next byte with it, so a trail byte that happens to be an ASCII letter
// is never folded.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x >= 0x81 && x <= 0xFE && i + 1 < a.size()) {
            if (x != y || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (asciiLower(x) != asciiLower(y))
            return false;
    }
    return true;
}

// Walks the lines of a text one at a time, so that reading costs no memory per line.
class LineCursor {
  public:
    explicit LineCursor(std::string_view text) : text_(text) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF")
            pos_ = 3;
    }
    bool next(Line& line) {
        if (pos_ >= text_.size())
            return false;
        line.begin = pos_;
        while (pos_ < text_.size() && text_[pos_] != '\n' && text_[pos_] != '\r')
            ++pos_;
        line.end = pos_;
        if (pos_ < text_.size()) {
            if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
                pos_ += 2;
            else
                ++pos_;
        }
        line.next = pos_;
        return true;
    }

  private:
    std::string_view text_;
    size_t pos_ = 0;
};

ParsedLine parseLine(std::string_view text, const Line& span) {
    ParsedLine line;
    line.span = span;
    const std::string_view raw = text.substr(span.begin, span.end - span.begin);
    const std::string_view body = trimmed(raw);
    if (!body.empty() && body.front() == '[') {
        const size_t close = body.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            line.kind = LineKind::Header;
            line.name = body.substr(1, close - 1);
            return line;
        }
    }
    const size_t equals = body.find('=');
    if (equals != std::string_view::npos) {
        line.kind = LineKind::Key;
        line.name = trimmed(body.substr(0, equals));
        line.value = trimmed(body.substr(equals + 1));
        line.equals = size_t(body.data() - text.data()) + equals;
    }
    return line;
}

struct Location {
    std::optional<ParsedLine> header;  // the section's header line
    std::optional<ParsedLine> key;     // the key's line
    std::optional<ParsedLine> lastKey; // the section's last key line
    std::optional<Line> lastLine;      // the text's last line, when there is no such section
};

Location locate(std::string_view text, std::string_view section, std::string_view key) {
    Location where;
    LineCursor lines(text);
    Line span;
    while (lines.next(span)) {
        ParsedLine line = parseLine(text, span);
        if (line.kind == LineKind::Header && sameName(line.name, section)) {
            where.header = line;
            break;
        }
        where.lastLine = span;
    }
    if (!where.header)
        return where;
    while (lines.next(span)) {
        ParsedLine line = parseLine(text, span);
        if (line.kind == LineKind::Header)
            break;
        if (line.kind != LineKind::Key)
            continue;
        where.lastKey = line;
        if (!where.key && sameName(line.name, key))
            where.key = line;
    }
    return where;
}

std::string_view withoutQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string_view lineEndingOf(std::string_view text) {
    const size_t pos = text.find_first_of("\r\n");
    if (pos == std::string_view::npos)
        return "\r\n";
    if (text[pos] == '\n')
        return "\n";
    return (pos + 1 < text.size() && text[pos + 1] == '\n') ? "\r\n" : "\r";
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

bool writable(std::string_view section, std::string_view key, std::string_view value) {
    if (section.empty() || hasLineBreak(section))
        return false;
    if (key.empty() || hasLineBreak(key) || key.find('=') != key.npos || key.front() == '[' ||
        trimmed(key).size() != key.size())
        return false;
    return !hasLineBreak(value);
}

// A write as one splice: the text keeps its bytes before `keep` and from `resume` on, with
// `insert` between them. A file is then written from its own bytes, never copied whole.
struct Splice {
    size_t keep = 0;
    std::string insert;
    size_t resume = 0;
};

std::optional<Splice> spliceFor(std::string_view content, std::string_view section,
                                std::string_view key, std::string_view value) {
    if (!writable(section, key, value))
        return std::nullopt;
    const Location where = locate(content, section, key);
    const std::string_view eol = lineEndingOf(content);

    if (where.key) {
        // Keep the key as spelled, the blanks around '=' and the line ending; only the value goes.
        // Blanks after '=' stay only between two values, so that writing twice changes nothing.
        const ParsedLine& line = *where.key;
        size_t keep = line.equals + 1;
        if (!line.value.empty() && !value.empty())
            keep = size_t(line.value.data() - content.data());
        return Splice{keep, std::string(value), line.span.end};
    }

    std::string entry = std::string(key) + '=' + std::string(value) + std::string(eol);
    if (where.header) {
        const Line& after = where.lastKey ? where.lastKey->span : where.header->span;
        if (after.next == after.end) // the file's last line, without a line ending
            entry.insert(0, eol);
        return Splice{after.next, std::move(entry), after.next};
    }

    std::string added;
    if (where.lastLine) {
        const Line& last = *where.lastLine;
        if (last.next == last.end)
            added.append(eol);
        if (!trimmed(content.substr(last.begin, last.end - last.begin)).empty())
            added.append(eol);
    }
    added.append("[").append(section).append("]").append(eol);
    added.append(entry);
    return Splice{content.size(), std::move(added), content.size()};
}

} // namespace

std::optional<std::string> iniValue(std::string_view content, std::string_view section,
                                    std::string_view key) {
    const Location where = locate(content, section, key);
    if (!where.key)
        return std::nullopt;
    return std::string(withoutQuotes(where.key->value));
}

std::optional<std::string> withIniValue(std::string_view content, std::string_view section,
                                        std::string_view key, std::string_view value) {
    const std::optional<Splice> splice = spliceFor(content, section, key, value);
    if (!splice)
        return std::nullopt;
    std::string result;
    result.reserve(splice->keep + splice->insert.size() + (content.size() - splice->resume));
    result.append(content.substr(0, splice->keep));
    result.append(splice->insert);
    result.append(content.substr(splice->resume));
    return result;
}

std::string readIniValue(const QString& path, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
    const std::optional<std::string> content = readWholeFile(path, kMaxIniFileBytes);
    if (!content)
        return std::string(defaultValue);
    std::optional<std::string> value = iniValue(*content, section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

bool writeIniValue(const QString& path, std::string_view section, std::string_view key,
                   std::string_view value) {
    const FileRead existing = readRegularFile(path, kMaxIniFileBytes);
    if (existing.outcome == FileRead::Outcome::Unreadable)
        return false;
    const std::string_view content = existing.bytes;
    const std::optional<Splice> splice = spliceFor(content, section, key, value);
    if (!splice)
        return false;
    const std::string_view pieces[] = {content.substr(0, splice->keep), splice->insert,
                                       content.substr(splice->resume)};
    return writeFileThroughLinks(path, pieces);
}
