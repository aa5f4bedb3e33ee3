// Small helpers for the tools' line-oriented text: comments, tokens with
// their columns, and diagnostics in the "FILE:LINE:COLUMN: message" form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Token {
    std::string text;
    int column = 1;  // 1-based
};

// The line without its "#" comment and without trailing whitespace.
std::string StripComment(const std::string& line);

// Whitespace-separated words with their columns.
std::vector<Token> SplitTokens(const std::string& line);

// The text split at "\n" (a "\r" before it is dropped).
std::vector<std::string> SplitLines(const std::string& text);

std::string Diagnostic(const std::string& file, int line, int column, const std::string& message);

// A row written as "[-]BEAT[:SIXTEENTH]" (sixteenth 0 to 15), or false.
// The sign applies to the whole time: "-1:8" is 24 rows before row 0.
bool ParseBeatTime(const std::string& text, int64_t* row);

// The reverse of ParseBeatTime: "BEAT" or "BEAT:SIXTEENTH", with a sign.
std::string FormatBeatTime(int64_t row);
