// The JSON shapes of the editing service: a track with its keys, the song's
// sections and cues, its length in rows. Values go out as the shortest
// number that reads back as the same 32-bit float; a value that is not a
// finite number (possible in a hand-written source) goes out as null.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "tools/songform/SongForm.h"

// "step", "linear", "smooth", "ramp", or the type's number as text.
std::string InterpolationText(int32_t type);
// The type of one of the four names or of a type's number as
// InterpolationText writes it (-128 to 127); false for anything else.
bool InterpolationFromText(const std::string& text, int32_t* type);

// {"name", "keys":[{"row","value","interp"}]}
nlohmann::json TrackJson(const std::string& name, const std::vector<TrackKey>& keys);
// Sections ({"name","row","kind":"section","endRow"}) then cues ({"name","row","kind":"cue"}).
nlohmann::json SectionsJson(const SongForm& song);
// The song's length in rows.
int64_t SongRows(const SongForm& song);
// The compact text of a value; bytes that are not UTF-8 (a track name from a
// Latin-1 source) become U+FFFD instead of failing.
std::string Dump(const nlohmann::json& value);
// {"error": message}
std::string ErrorJson(const std::string& message);
