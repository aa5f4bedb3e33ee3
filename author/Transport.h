// Transport: where the author's keys move the song, worked out against the
// song form. Bars are 4 beats from beat 0; the marks are the starts of the
// sections and the cues. Going back lands on the start of the bar (or mark)
// playing, or on the one before when it started less than half a beat ago,
// so that pressing twice keeps going back. Nothing moves past the song:
// targets stay in [0, end) so that a seek never ends the run.
#pragma once

#include <string>
#include <vector>

#include "tools/songform/SongForm.h"

class IDemoAudioSystem;

constexpr double kBeatsPerBar = 4;

// The beat one bar back from `beat` (see above).
double BarBefore(double beat);
// The start of the next bar.
double BarAfter(double beat);
// Section starts and cues before the song's end, sorted, each once.
std::vector<double> SongMarks(const SongForm& song);
// The previous / next mark from `beat`; `beat` itself when there is none.
double MarkBefore(const std::vector<double>& marks, double beat);
double MarkAfter(const std::vector<double>& marks, double beat);
// The middle of the row `beat` falls in, where seeks land (see SeekTo).
double RowMiddle(double beat);
// "at BEAT:SIXTEENTH SECTION" ("at 84:00 drop"); outside the song the
// section reads "-".
std::string PositionLine(const SongForm& song, double beat);

enum class TransportKey { PauseResume, BarBack, BarForward, MarkBack, MarkForward, Start, End, Loop };

// Drives the music: pause, seeks (SetPosition, so the effect clocks follow
// the music's change) and a loop over one section.
class Transport {
public:
    Transport(IDemoAudioSystem* music, const SongForm* song) : music(music), song(song) {}

    // Carries out the key; returns the position line to print.
    std::string Press(TransportKey key);
    // Once per frame: a loop that ran past its section's end starts it again.
    // True when it jumped.
    bool Tick();

    // The music paused itself (at the song's end): the transport is paused
    // too, so that Space resumes. Returns the position line.
    std::string PausedByMusic();

    // The editing service's transport. Each returns the position line.
    std::string SetPaused(bool pause);
    // Seeks to a beat, kept inside the song as the keys' seeks are.
    std::string Seek(double beat);
    // Loops between two beats (kept inside the song) until cleared; unlike
    // the L key's section loop it stays put when the position is moved.
    std::string SetLoop(double start, double end);
    std::string ClearLoop();

    bool Paused() const { return paused; }
    bool Looping() const { return looping; }
    double LoopStart() const { return loopStart; }
    double LoopEnd() const { return loopEnd; }
    // The music's position, in beats.
    double Position() const;

private:
    double Clamp(double beat) const;
    void SeekTo(double beat);
    void LoopAround(double beat);

    IDemoAudioSystem* music;
    const SongForm* song;
    bool paused = false;
    bool looping = false;
    bool loopFollowsSection = false;  // the L key's loop moves with seeks
    double loopStart = 0;
    double loopEnd = 0;
};
