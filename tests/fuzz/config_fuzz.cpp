// Fuzz target: Config.txt bytes through the player's parse, checked against
// the entry pattern itself. For short texts every "key = value;" match that
// std::regex finds scanning the whole text must be what the one-pass entry
// finder kept (first occurrence wins); for any text, keys and values hold no
// whitespace.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <regex>
#include <string>

#include "core/ConfigFile.h"

namespace {

bool HasSpace(const std::string& s) { return s.find_first_of(" \t\n\v\f\r") != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);
    ConfigFile config;
    config.ParseFileBytes(raw);
    config.GetInt("ResolutionX");
    config.GetString("Fullscreen");

    // The reference: the pattern run over the whole (normalised) text.
    std::string text = raw.substr(0, raw.find('\0'));
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    if (lines.size() > 256) return 0;
    static const std::regex pattern("(\\S+?)\\s+=\\s(\\S+?);", std::regex::ECMAScript);
    std::map<std::string, std::string> expected;
    for (std::sregex_iterator it(lines.begin(), lines.end(), pattern), end; it != end; ++it)
        expected.emplace((*it)[1].str(), (*it)[2].str());
    if (config.Count() != expected.size()) std::abort();
    for (const auto& entry : expected) {
        const std::string value = config.GetString(entry.first);
        if (value != entry.second || HasSpace(entry.first) || HasSpace(value)) std::abort();
    }
    return 0;
}
