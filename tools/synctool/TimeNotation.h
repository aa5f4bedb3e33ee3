// How a key's time is written when an edit moves or adds it: in the style the
// source already uses. A plain time stays plain ("127:15" -> "128"); a time
// written against a section or cue stays against that name ("drop+2:4" one
// row later is "drop+2:5", and "drop" itself when the offset becomes 0).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tools/songform/SongForm.h"

// `written` (a time token that read as some row) re-expressed for `row` in
// the same style. A name the song form does not know falls back to plain.
std::string RewriteTime(const std::string& written, int32_t row, const SongForm* song);

// True when `written` names a section or cue rather than a plain beat time.
bool IsNamedTime(const std::string& written);

// The time for a new key at `row`: the name of a mark at exactly that row
// when the neighbouring key writes names (a name the source already uses for
// that row first, then a cue, then a section start), else the plain time.
std::string NewKeyTime(int32_t row, bool neighbourUsesNames, const SongForm* song,
                       const std::map<int32_t, std::string>& namesInUse);
