// ConfigFile: the key = value; entries of Config.txt, read once at start-up.
// The first occurrence of a key wins; lookups are case-sensitive.
#pragma once

#include <map>
#include <string>

class ConfigFile {
public:
    // Reads ./Config.txt; an unreadable or missing file leaves the map empty.
    void Load();
    // Parses the file's bytes as Load does once it has read them: the first
    // NUL ends the text and CR LF reads as LF.
    void ParseFileBytes(const std::string& bytes);
    // Parses entries out of text already in memory (what Load does after reading).
    void Parse(const std::string& text);
    // The stored value, or an empty string when the key is missing.
    std::string GetString(const std::string& key) const;
    // atoi of the stored value, or -1 when the key is missing or empty.
    int GetInt(const std::string& key) const;
    // How many distinct keys were read.
    size_t Count() const { return entries.size(); }

private:
    std::map<std::string, std::string> entries;
};
