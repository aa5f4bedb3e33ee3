// The drop's rhythm hits as rows of the beat grid: the song maker's own hit
// offsets (kHitOffsets) in each 16-beat window of the song form's drop, and
// how many of them a list of onset rows finds within a tolerance. For the
// onset tests and bench; whoever includes it links tessel_songmaker.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Song.h"
#include "tools/songform/SongForm.h"

inline std::vector<int64_t> DropHitRows(const SongForm& form) {
    std::vector<int64_t> rows;
    const SongSection* drop = form.FindSection("drop");
    if (!drop) return rows;
    for (double window = drop->start; window + 16 <= drop->end; window += 16)
        for (const double offset : kHitOffsets) rows.push_back(std::llround((window + offset) * kSongRowsPerBeat));
    return rows;
}

// Hits with an onset at most `tolerance` rows away; `onsets` sorted.
inline size_t HitsFound(const std::vector<int64_t>& hits, const std::vector<int64_t>& onsets, int64_t tolerance) {
    size_t found = 0;
    for (const int64_t hit : hits) {
        const auto next = std::lower_bound(onsets.begin(), onsets.end(), hit - tolerance);
        if (next != onsets.end() && std::llabs(*next - hit) <= tolerance) ++found;
    }
    return found;
}
