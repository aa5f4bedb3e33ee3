// Fuzz target: song form text through its parser. On success, checks what
// the songmaker and synctool rely on: sections back to back from beat 0 with
// positive lengths, cues inside the song, and every name found again.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/songform/SongForm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SongForm form;
    std::vector<std::string> errors;
    const bool ok = ParseSongForm(text, "fuzz.txt", form, errors);
    if (ok != errors.empty()) std::abort();
    if (!ok) return 0;
    double start = 0;
    for (const SongSection& section : form.sections) {
        if (section.start != start || !(section.end > section.start) || !std::isfinite(section.end)) std::abort();
        if (form.SectionAt(section.start) == nullptr || form.FindSection(section.name) == nullptr) std::abort();
        int32_t row = 0;
        if (!form.FindRow(section.name, &row)) std::abort();
        start = section.end;
    }
    if (form.EndBeat() != start) std::abort();
    for (const SongCue& cue : form.cues) {
        if (!(cue.beat >= 0) || cue.beat > form.EndBeat()) std::abort();
        int32_t row = 0;
        if (!form.FindRow(cue.name, &row)) std::abort();
        cue.Row();
    }
    form.SectionAt(-1);
    form.SectionAt(form.EndBeat());
    return 0;
}
