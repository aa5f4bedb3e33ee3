// Line and token helpers shared by the song form and track source parsers.
#include "tools/songform/TextLines.h"

#include <cctype>

std::string StripComment(const std::string& line) {
    std::string out = line.substr(0, line.find('#'));
    while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
    return out;
}

std::vector<Token> SplitTokens(const std::string& line) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i >= line.size()) break;
        size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        tokens.push_back({line.substr(start, i - start), int(start) + 1});
    }
    return tokens;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

std::string Diagnostic(const std::string& file, int line, int column, const std::string& message) {
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

namespace {

bool ParseDigits(const std::string& text, size_t begin, size_t end, int64_t* value) {
    if (begin >= end || end - begin > 10) return false;
    int64_t v = 0;
    for (size_t i = begin; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

}  // namespace

bool ParseBeatTime(const std::string& text, int64_t* row) {
    size_t begin = 0;
    int64_t sign = 1;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        sign = text[0] == '-' ? -1 : 1;
        begin = 1;
    }
    size_t colon = text.find(':', begin);
    int64_t beat = 0, sixteenth = 0;
    if (colon == std::string::npos) {
        if (!ParseDigits(text, begin, text.size(), &beat)) return false;
    } else {
        if (!ParseDigits(text, begin, colon, &beat)) return false;
        if (!ParseDigits(text, colon + 1, text.size(), &sixteenth) || sixteenth > 15) return false;
    }
    *row = sign * (beat * 16 + sixteenth);
    return true;
}

std::string FormatBeatTime(int64_t row) {
    std::string sign = row < 0 ? "-" : "";
    int64_t magnitude = row < 0 ? -row : row;
    std::string out = sign + std::to_string(magnitude / 16);
    if (magnitude % 16 != 0) out += ":" + std::to_string(magnitude % 16);
    return out;
}
