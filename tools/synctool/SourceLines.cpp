// SourceLines: a doubly linked list over lines kept by id.
#include "tools/synctool/SourceLines.h"

SourceLines::SourceLines(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t newline = text.find('\n', start);
        SourceLine line;
        if (newline == std::string::npos) {
            line.body = text.substr(start);
            start = text.size();
        } else {
            line.body = text.substr(start, newline - start);
            line.end = "\n";
            start = newline + 1;
        }
        // The parser drops a "\r" before the line end; so does the body.
        if (!line.body.empty() && line.body.back() == '\r') {
            line.body.pop_back();
            line.end = "\r" + line.end;
        }
        Append(std::move(line));
    }
}

int SourceLines::InsertAfter(int previous, SourceLine line) {
    const int id = int(lines.size());
    lines.push_back(std::move(line));
    Links link;
    link.previous = previous;
    link.next = previous >= 0 ? links[size_t(previous)].next : first;
    links.push_back(link);
    if (link.previous >= 0)
        links[size_t(link.previous)].next = id;
    else
        first = id;
    if (link.next >= 0)
        links[size_t(link.next)].previous = id;
    else
        last = id;
    return id;
}

void SourceLines::Erase(int id) {
    const Links link = links[size_t(id)];
    if (link.previous >= 0)
        links[size_t(link.previous)].next = link.next;
    else
        first = link.next;
    if (link.next >= 0)
        links[size_t(link.next)].previous = link.previous;
    else
        last = link.previous;
    links[size_t(id)] = Links();
    lines[size_t(id)] = SourceLine();
}

std::string SourceLines::Text() const {
    size_t size = 0;
    for (int id = first; id >= 0; id = links[size_t(id)].next) size += lines[size_t(id)].body.size() + lines[size_t(id)].end.size();
    std::string text;
    text.reserve(size);
    for (int id = first; id >= 0; id = links[size_t(id)].next) {
        text += lines[size_t(id)].body;
        text += lines[size_t(id)].end;
    }
    return text;
}
