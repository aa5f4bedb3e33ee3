// ConfigFile: entries "key = value;" picked out of ./Config.txt with the
// ECMAScript pattern below; the first occurrence of a key wins.
// Limits: at most 1 MiB of the file is read (a larger file counts up to that
// point), reading stops at the first NUL, and CR LF reads as LF. Entries
// longer than 4 KiB are skipped: the regex engine recurses once per
// character, so it is only ever run on one located entry, never on the
// whole text, which keeps a huge or hostile file from exhausting the stack
// or taking quadratic time.
#include "core/ConfigFile.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <regex>

#include "platform/FileRead.h"

namespace {

constexpr size_t kMaxFileBytes = 1 << 20;
constexpr size_t kMaxEntryBytes = 4096;

// The whitespace of \s for char in the classic locale.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

struct Span {
    size_t begin, end;
};

// The leftmost text from `from` on that the entry pattern matches, found in
// one pass: a match's key is a whole run of non-space characters (the
// pattern needs space right after it), followed by spaces, '=', exactly one
// space, and the shortest non-space value that is followed by ';'.
bool FindEntry(const std::string& text, size_t from, Span* entry, size_t* resume) {
    size_t n = text.size();
    size_t i = from;
    while (i < n) {
        if (IsSpace(text[i])) {
            ++i;
            continue;
        }
        size_t keyEnd = i;
        while (keyEnd < n && !IsSpace(text[keyEnd])) ++keyEnd;
        size_t equals = keyEnd;
        while (equals < n && IsSpace(text[equals])) ++equals;
        if (equals > keyEnd && equals + 2 < n && text[equals] == '=' && IsSpace(text[equals + 1]) &&
            !IsSpace(text[equals + 2])) {
            size_t semicolon = equals + 3;
            while (semicolon < n && !IsSpace(text[semicolon]) && text[semicolon] != ';') ++semicolon;
            if (semicolon < n && text[semicolon] == ';') {
                *entry = Span{i, semicolon + 1};
                *resume = keyEnd;
                return true;
            }
        }
        i = keyEnd;
    }
    return false;
}

}  // namespace

void ConfigFile::Load() {
    // A FIFO named Config.txt cannot hold start-up; a folder or a device
    // gives no entries, a larger file its first kMaxFileBytes.
    platform::RegularFileReader file("Config.txt");
    if (!file.Opened()) return;
    std::string text;
    file.Append(kMaxFileBytes, &text);
    ParseFileBytes(text);
}

void ConfigFile::ParseFileBytes(const std::string& bytes) {
    const size_t length = std::min(bytes.find('\0'), bytes.size());
    // Text mode as on the system the format comes from: CR LF is one LF.
    std::string lines;
    lines.reserve(length);
    for (size_t i = 0; i < length; ++i)
        if (!(bytes[i] == '\r' && i + 1 < length && bytes[i + 1] == '\n')) lines += bytes[i];
    Parse(lines);
}

void ConfigFile::Parse(const std::string& text) {
    static const std::regex pattern("(\\S+?)\\s+=\\s(\\S+?);", std::regex::ECMAScript);
    size_t from = 0;
    Span entry;
    size_t resume;
    while (FindEntry(text, from, &entry, &resume)) {
        std::smatch match;
        auto begin = text.begin() + static_cast<std::ptrdiff_t>(entry.begin);
        auto end = text.begin() + static_cast<std::ptrdiff_t>(entry.end);
        if (entry.end - entry.begin > kMaxEntryBytes || !std::regex_match(begin, end, match, pattern)) {
            from = resume;  // not an entry we take; look further on
            continue;
        }
        entries.emplace(match[1].str(), match[2].str());  // keeps an earlier value
        from = entry.end;
    }
}

std::string ConfigFile::GetString(const std::string& key) const {
    auto found = entries.find(key);
    return found == entries.end() ? std::string() : found->second;
}

int ConfigFile::GetInt(const std::string& key) const {
    std::string value = GetString(key);
    if (value.empty()) return -1;
    // atoi, but a number beyond int saturates instead of being undefined.
    long long number = std::strtoll(value.c_str(), nullptr, 10);
    if (number > INT_MAX) return INT_MAX;
    if (number < INT_MIN) return INT_MIN;
    return static_cast<int>(number);
}
