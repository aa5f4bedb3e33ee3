// FilmstripReach: values compared through the player's own evaluation; a
// clock track's first change is found from its keys, since between two
// moments that read the same value its clock may have run differently.
#include "author/filmstrip/FilmstripReach.h"

#include <algorithm>
#include <limits>

namespace {

SyncTrack TrackOf(const std::vector<TrackKey>& keys) {
    SyncTrack track;
    track.keys = keys;
    track.numKeys = int32_t(keys.size());
    return track;
}

bool SameKey(const TrackKey& a, const TrackKey& b) { return a.row == b.row && a.value == b.value && a.type == b.type; }

// The first row from which the two tracks can read differently: the first
// key that differs (added, removed or changed), or the key before it when
// that one's curve leads into it (anything but a step); -infinity when
// the change starts before every key, +infinity when there is none.
double FirstChangedRow(const std::vector<TrackKey>& a, const std::vector<TrackKey>& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && SameKey(a[i], b[i])) ++i;
    if (i == a.size() && i == b.size()) return std::numeric_limits<double>::infinity();
    if (i == 0) return -std::numeric_limits<double>::infinity();
    if (a[i - 1].type != Step) return double(a[i - 1].row);
    double row = std::numeric_limits<double>::infinity();
    if (i < a.size()) row = std::min(row, double(a[i].row));
    if (i < b.size()) row = std::min(row, double(b[i].row));
    return row;
}

}  // namespace

bool TrackMovesClocks(const std::string& name) { return name == "Effect Time" || name == "Effect Index"; }

std::vector<bool> ReachedMoments(const std::vector<double>& moments, const TrackKeyMap& before,
                                 const TrackKeyMap& changed) {
    std::vector<bool> reached(moments.size(), false);
    static const std::vector<TrackKey> kNone;
    for (const auto& [name, keys] : changed) {
        const auto old = before.find(name);
        const std::vector<TrackKey>& oldKeys = old == before.end() ? kNone : old->second;
        if (TrackMovesClocks(name)) {
            const double from = FirstChangedRow(oldKeys, keys);
            for (size_t m = 0; m < moments.size(); ++m)
                if (moments[m] >= from) reached[m] = true;
            continue;
        }
        const SyncTrack was = TrackOf(oldKeys), now = TrackOf(keys);
        for (size_t m = 0; m < moments.size(); ++m)
            if (GetValue(&was, moments[m]) != GetValue(&now, moments[m])) reached[m] = true;
    }
    return reached;
}
