// Transport: bar and mark arithmetic on beats, the position line, and the
// music calls behind each key.
#include "author/Transport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/IDemoAudioSystem.h"

namespace {

// How recently a bar or mark may have started for "back" to skip it.
constexpr double kBackGrace = 0.5;
// Marks closer than this to the position count as the position itself.
constexpr double kSameBeat = 1.0 / 64;
// How far before the song's end a seek may land at most: one row.
constexpr double kEndMargin = 1.0 / kSongRowsPerBeat;

}  // namespace

double BarBefore(double beat) {
    return std::max(0.0, std::floor((beat - kBackGrace) / kBeatsPerBar) * kBeatsPerBar);
}

double BarAfter(double beat) { return (std::floor((beat + kSameBeat) / kBeatsPerBar) + 1) * kBeatsPerBar; }

std::vector<double> SongMarks(const SongForm& song) {
    const double end = song.EndBeat();
    std::vector<double> marks;
    for (const SongSection& section : song.sections)
        if (section.start < end) marks.push_back(section.start);
    for (const SongCue& cue : song.cues)
        if (cue.beat < end) marks.push_back(cue.beat);
    std::sort(marks.begin(), marks.end());
    marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
    return marks;
}

double MarkBefore(const std::vector<double>& marks, double beat) {
    double found = marks.empty() || marks.front() > beat ? beat : marks.front();
    for (double mark : marks)
        if (mark <= beat - kBackGrace) found = mark;
    return found;
}

double MarkAfter(const std::vector<double>& marks, double beat) {
    for (double mark : marks)
        if (mark > beat + kSameBeat) return mark;
    return beat;
}

std::string PositionLine(const SongForm& song, double beat) {
    const long row = std::lround(std::floor(std::max(0.0, beat) * kSongRowsPerBeat + 1e-6));
    const SongSection* section = song.SectionAt(beat);
    char text[64];
    std::snprintf(text, sizeof text, "at %ld:%02ld ", row / kSongRowsPerBeat, row % kSongRowsPerBeat);
    return text + (section ? section->name : std::string("-"));
}

double Transport::Position() const { return music ? music->GetPosition() : 0.0; }

double Transport::Clamp(double beat) const {
    const double end = song->EndBeat();
    if (end > kEndMargin) beat = std::min(beat, end - kEndMargin);
    return std::max(0.0, beat);
}

double RowMiddle(double beat) {
    return (std::floor(beat * kSongRowsPerBeat + 1e-6) + 0.5) / kSongRowsPerBeat;
}

void Transport::SeekTo(double beat) {
    beat = Clamp(beat);
    // The sound device turns a seek into whole samples, rounding down, so a
    // seek to the very start of a row could read back a hair before it and
    // show the row before (the frame before the drop): the music goes to the
    // middle of the row instead, 13 ms at most from the beat asked for.
    if (music) music->SetPosition(static_cast<float>(RowMiddle(beat)));
    if (looping && loopFollowsSection) LoopAround(beat);
}

void Transport::LoopAround(double beat) {
    const SongSection* section = song->SectionAt(beat);
    loopStart = section ? section->start : 0;
    loopEnd = section ? section->end : song->EndBeat();
}

std::string Transport::Press(TransportKey key) {
    const double now = Position();
    double at = now;
    switch (key) {
        case TransportKey::PauseResume:
            paused = !paused;
            if (music) paused ? music->Pause() : music->Play();
            // Read again: a paused song stands where its last sound was
            // heard, about one device latency past what played a moment ago,
            // and the line says where the show holds.
            at = Position();
            break;
        case TransportKey::BarBack: at = BarBefore(now); break;
        case TransportKey::BarForward: at = BarAfter(now); break;
        case TransportKey::MarkBack: at = MarkBefore(SongMarks(*song), now); break;
        case TransportKey::MarkForward: at = MarkAfter(SongMarks(*song), now); break;
        case TransportKey::Start: at = 0; break;
        case TransportKey::End: {
            const std::vector<double> marks = SongMarks(*song);
            at = marks.empty() ? now : marks.back();
            break;
        }
        case TransportKey::Loop:
            looping = !looping;
            loopFollowsSection = looping;
            if (looping) LoopAround(now);
            break;
    }
    if (key != TransportKey::PauseResume && key != TransportKey::Loop) {
        at = Clamp(at);
        SeekTo(at);
    }
    return PositionLine(*song, at);
}

std::string Transport::PausedByMusic() {
    paused = true;
    return PositionLine(*song, Position());
}

std::string Transport::SetPaused(bool pause) {
    if (pause != paused) {
        paused = pause;
        if (music) paused ? music->Pause() : music->Play();
    }
    return PositionLine(*song, Position());
}

std::string Transport::Seek(double beat) {
    beat = Clamp(beat);
    SeekTo(beat);
    return PositionLine(*song, beat);
}

std::string Transport::SetLoop(double start, double end) {
    looping = true;
    loopFollowsSection = false;
    loopStart = Clamp(start);
    loopEnd = std::max(loopStart + kEndMargin, std::min(end, song->EndBeat()));
    const double now = Position();
    if (now < loopStart || now >= loopEnd) SeekTo(loopStart);
    return PositionLine(*song, Position());
}

std::string Transport::ClearLoop() {
    looping = false;
    loopFollowsSection = false;
    return PositionLine(*song, Position());
}

bool Transport::Tick() {
    if (!looping || paused) return false;
    const double now = Position();
    // The last section turns a few rows early, before the song can stop.
    const double end = std::min(loopEnd, song->EndBeat() - 4 * kEndMargin);
    if (now >= loopStart && now < end) return false;
    SeekTo(loopStart);
    return true;
}
