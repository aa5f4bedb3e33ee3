// Files that appear under their final name only when complete: a unique
// temporary beside the final name, then a rename, which is atomic within one
// folder.
#pragma once

#include <string>

// Creates an empty, uniquely named hidden file beside `finalPath`
// (".name.partial-XXXXXX") and sets *temporaryPath; false with *error set.
bool CreateTemporaryBeside(const std::string& finalPath, std::string* temporaryPath, std::string* error);

// Renames the finished temporary to its final name; false with *error set
// (the temporary is then removed).
bool MoveIntoPlace(const std::string& temporaryPath, const std::string& finalPath, std::string* error);

// Removes a file if present; an empty path does nothing.
void RemoveIfPresent(const std::string& path);
