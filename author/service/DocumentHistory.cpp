// DocumentHistory: the two stacks of texts and their bounds.
#include "author/service/DocumentHistory.h"

void DocumentHistory::Record(const std::string& before, const std::string& group) {
    for (const std::string& text : redo) bytes -= text.size();
    redo.clear();
    if (!group.empty() && group == lastGroup && !undo.empty()) return;
    lastGroup = group;
    undo.push_back(before);
    bytes += before.size();
    Trim();
}

bool DocumentHistory::Undo(const std::string& current, std::string* previous) {
    lastGroup.clear();
    if (undo.empty()) return false;
    *previous = std::move(undo.back());
    undo.pop_back();
    bytes -= previous->size();
    redo.push_back(current);
    bytes += current.size();
    Trim();
    return true;
}

bool DocumentHistory::Redo(const std::string& current, std::string* next) {
    lastGroup.clear();
    if (redo.empty()) return false;
    *next = std::move(redo.back());
    redo.pop_back();
    bytes -= next->size();
    undo.push_back(current);
    bytes += current.size();
    Trim();
    return true;
}

void DocumentHistory::Unpop(bool wasUndo, const std::string& text) {
    std::deque<std::string>& from = wasUndo ? redo : undo;  // where the current text went
    std::deque<std::string>& back = wasUndo ? undo : redo;
    if (!from.empty()) {
        bytes -= from.back().size();
        from.pop_back();
    }
    back.push_back(text);
    bytes += text.size();
}

void DocumentHistory::Trim() {
    // The oldest undo steps go first; redo steps only when nothing else is left.
    while ((undo.size() + redo.size() > maxSteps || bytes > maxBytes) && !(undo.empty() && redo.empty())) {
        std::deque<std::string>& from = undo.empty() ? redo : undo;
        bytes -= from.front().size();
        from.pop_front();
    }
}
