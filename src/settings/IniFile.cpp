#include "settings/IniFile.h"

#include "catalogue/FileIo.h"

#include <QFileInfo>
#include <vector>

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

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        pos = 3;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        while (pos < text.size() && text[pos] != '\n' && text[pos] != '\r')
            ++pos;
        line.end = pos;
        if (pos < text.size()) {
            if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n')
                pos += 2;
            else
                ++pos;
        }
        line.next = pos;
        lines.push_back(line);
    }
    return lines;
}

std::vector<ParsedLine> parse(std::string_view text) {
    std::vector<ParsedLine> parsed;
    for (const Line& span : splitLines(text)) {
        ParsedLine line;
        line.span = span;
        const std::string_view raw = text.substr(span.begin, span.end - span.begin);
        const std::string_view body = trimmed(raw);
        if (!body.empty() && body.front() == '[') {
            const size_t close = body.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                line.kind = LineKind::Header;
                line.name = body.substr(1, close - 1);
                parsed.push_back(line);
                continue;
            }
        }
        const size_t equals = body.find('=');
        if (equals != std::string_view::npos) {
            line.kind = LineKind::Key;
            line.name = trimmed(body.substr(0, equals));
            line.value = trimmed(body.substr(equals + 1));
            line.equals = size_t(body.data() - text.data()) + equals;
        }
        parsed.push_back(line);
    }
    return parsed;
}

struct Location {
    std::optional<size_t> header;  // index of the section's header line
    std::optional<size_t> key;     // index of the key's line
    size_t sectionEnd = 0;         // index one past the section's last line
    std::optional<size_t> lastKey; // index of the section's last key line
};

Location locate(const std::vector<ParsedLine>& lines, std::string_view section,
                std::string_view key) {
    Location where;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Header && sameName(lines[i].name, section)) {
            where.header = i;
            break;
        }
    }
    if (!where.header)
        return where;
    size_t i = *where.header + 1;
    for (; i < lines.size() && lines[i].kind != LineKind::Header; ++i) {
        if (lines[i].kind != LineKind::Key)
            continue;
        where.lastKey = i;
        if (!where.key && sameName(lines[i].name, key))
            where.key = i;
    }
    where.sectionEnd = i;
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

} // namespace

std::optional<std::string> iniValue(std::string_view content, std::string_view section,
                                    std::string_view key) {
    const std::vector<ParsedLine> lines = parse(content);
    const Location where = locate(lines, section, key);
    if (!where.key)
        return std::nullopt;
    return std::string(withoutQuotes(lines[*where.key].value));
}

std::optional<std::string> withIniValue(std::string_view content, std::string_view section,
                                        std::string_view key, std::string_view value) {
    if (!writable(section, key, value))
        return std::nullopt;
    const std::vector<ParsedLine> lines = parse(content);
    const Location where = locate(lines, section, key);
    const std::string_view eol = lineEndingOf(content);

    std::string result;
    result.reserve(content.size() + section.size() + key.size() + value.size() + 8);

    if (where.key) {
        // Keep the key as spelled, the blanks around '=' and the line ending; only the value goes.
        // Blanks after '=' stay only between two values, so that writing twice changes nothing.
        const ParsedLine& line = lines[*where.key];
        size_t keep = line.equals + 1;
        if (!line.value.empty() && !value.empty())
            keep = size_t(line.value.data() - content.data());
        result.append(content.substr(0, keep));
        result.append(value);
        result.append(content.substr(line.span.end));
        return result;
    }

    const std::string entry = std::string(key) + '=' + std::string(value) + std::string(eol);
    if (where.header) {
        const Line& after = lines[where.lastKey.value_or(*where.header)].span;
        result.append(content.substr(0, after.next));
        if (after.next == after.end) // the file's last line, without a line ending
            result.append(eol);
        result.append(entry);
        result.append(content.substr(after.next));
        return result;
    }

    result.append(content);
    if (!lines.empty()) {
        const Line& last = lines.back().span;
        if (last.next == last.end)
            result.append(eol);
        if (!trimmed(content.substr(last.begin, last.end - last.begin)).empty())
            result.append(eol);
    }
    result.append("[").append(section).append("]").append(eol);
    result.append(entry);
    return result;
}

std::string readIniValue(const QString& path, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
    const std::optional<std::string> content = readWholeFile(path);
    if (!content)
        return std::string(defaultValue);
    std::optional<std::string> value = iniValue(*content, section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

bool writeIniValue(const QString& path, std::string_view section, std::string_view key,
                   std::string_view value) {
    std::string content;
    if (QFileInfo::exists(path)) {
        std::optional<std::string> existing = readWholeFile(path);
        if (!existing)
            return false;
        content = std::move(*existing);
    }
    const std::optional<std::string> updated = withIniValue(content, section, key, value);
    if (!updated)
        return false;
    return writeFileAtomically(path, *updated);
}
