// DocumentHistory: the undo and redo steps of the track source, kept as the
// whole texts before and after each step, so that undoing gives back exactly
// the bytes there were. Consecutive edits of one non-empty group (a drag)
// make a single step. Bounded by count and by bytes; the oldest steps go.
// Not locked: its owner serialises calls.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

class DocumentHistory {
public:
    explicit DocumentHistory(size_t maxSteps = 500, size_t maxBytes = 64u << 20)
        : maxSteps(maxSteps), maxBytes(maxBytes) {}

    // Before a change to the text `before`: a new undo step, unless the
    // change continues the group of the last one. Clears what could be redone.
    void Record(const std::string& before, const std::string& group);
    // Ends the current group: the next change is a step of its own.
    void BreakGroup() { lastGroup.clear(); }

    // The text to go back to from `current` (which becomes redoable); false
    // when there is nothing to undo.
    bool Undo(const std::string& current, std::string* previous);
    // The text to go forward to from `current`; false when nothing to redo.
    bool Redo(const std::string& current, std::string* next);
    // Puts back a step that Undo or Redo handed out but that could not be used.
    void Unpop(bool wasUndo, const std::string& text);

    size_t UndoSteps() const { return undo.size(); }
    size_t RedoSteps() const { return redo.size(); }

private:
    void Trim();

    size_t maxSteps;
    size_t maxBytes;
    std::deque<std::string> undo;  // oldest first
    std::deque<std::string> redo;  // next redo last
    std::string lastGroup;
    size_t bytes = 0;
};
