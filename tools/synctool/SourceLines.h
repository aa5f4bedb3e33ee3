// A track source's text as lines that edits insert and remove in place,
// each keeping its id while lines around it come and go, so that a batch
// of edits costs no renumbering. A line's id starts as its index in the
// text (line N of the parser has id N - 1); a line put in gets the next
// free id. Each line keeps the end that followed it ("\n", "\r\n", a lone
// "\r" ending the file, or "" for a last line without one).
#pragma once

#include <string>
#include <vector>

struct SourceLine {
    std::string body;
    std::string end;
};

class SourceLines {
public:
    explicit SourceLines(const std::string& text);

    SourceLine& operator[](int id) { return lines[size_t(id)]; }
    const SourceLine& operator[](int id) const { return lines[size_t(id)]; }
    // -1 where there is none.
    int First() const { return first; }
    int Last() const { return last; }
    int Next(int id) const { return links[size_t(id)].next; }
    int Previous(int id) const { return links[size_t(id)].previous; }
    bool Empty() const { return first < 0; }

    // Puts a line in after `previous` (-1: before the first); its id.
    int InsertAfter(int previous, SourceLine line);
    int Append(SourceLine line) { return InsertAfter(last, std::move(line)); }
    void Erase(int id);
    // The text again, lines in order.
    std::string Text() const;

private:
    struct Links {
        int previous = -1;
        int next = -1;
    };
    std::vector<SourceLine> lines;  // by id, erased ones included
    std::vector<Links> links;
    int first = -1;
    int last = -1;
};

// Whether the line has a line end: a "\r" alone, as the last byte of a file,
// is not one (the parser drops it like the one before a line end).
inline bool Ended(const SourceLine& line) { return !line.end.empty() && line.end.back() == '\n'; }
