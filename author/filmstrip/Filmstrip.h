// Filmstrip: the show's picture at the start of every bar, kept true as the
// document changes, and the pictures of single moments asked for by the
// page (hover). Two tessel-stills children: one at the strip's size that
// walks the bars whose pictures are out of date (FilmstripReach says which
// a change reaches), and one for single frames, started again whenever a
// frame of another size is asked for. A picture is taken in the middle of
// its row (row + 0.5), where the author's transport seeks too, so that
// float rounding never shows the row before. Pictures stay in memory and
// are served from there. Thread-safe; DocumentChanged is called under the
// document's lock and only marks and wakes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "author/filmstrip/FilmstripReach.h"
#include "author/filmstrip/StillsWorker.h"
#include "tools/songform/SongForm.h"

struct FilmstripConfig {
    std::string stillsProgram;           // tessel-stills
    std::string logFolder = ".";         // where the children's logs go
    std::string showFolder;              // where they run (empty: here, the run folder)
    bool idlePriority = true;            // false: normal priority, for tests on a busy machine
    int width = 192, height = 108;       // the strip's pictures
    size_t frameQueue = 4;               // single frames waiting at most
    int frameWidth = 480, frameHeight = 270;  // the single frames' usual size, started early
    int frameWaitMilliseconds = 30000;   // a single frame's answer
    std::function<void(const std::string&)> report;   // a line for the terminal
    std::function<void(const std::string&)> push;     // a message for the pages
};

class Filmstrip {
public:
    explicit Filmstrip(FilmstripConfig config);
    ~Filmstrip() { Stop(); }
    Filmstrip(const Filmstrip&) = delete;
    Filmstrip& operator=(const Filmstrip&) = delete;

    void Start();
    void Stop();

    // The document changed to `revision`: these tracks got these keys (all
    // of them the first time) and, when `song` is set, the song form is new.
    void DocumentChanged(int64_t revision, const TrackKeyMap& tracks, const SongForm* song);
    // The shaders were saved: every picture is drawn again.
    void ShadersSaved();

    // GET /api/filmstrip.
    std::string ListJson() const;
    // The strip's picture of the bar starting at `row`; false when there is
    // none (yet).
    bool Picture(int64_t row, std::string* jpeg) const;
    // The picture of one moment at the current revision, waited for: 200
    // with its bytes, 503 with *error when the queue is full, the time is
    // up or the picture failed.
    int Frame(double row, int width, int height, std::string* jpeg, std::string* error);

    // The strip's picture-maker's process id (0 when none runs), for tests.
    int StripChild() const { return strip->ChildId(); }

    // The song's length in rows (0 before the first song form).
    double SongRows() const;

    // The moments of the bars for this song form (their rows + 0.5).
    static std::vector<double> BarMoments(const SongForm& song);

private:
    struct Bar {
        int64_t row = 0;
        std::string jpeg;
        int64_t revision = 0;    // the revision the picture shows
        int64_t generation = 0;  // bumped whenever a change reaches it
        int64_t picture = 0;     // which picture it holds, for its url
        bool ready = false;
        bool drawing = false;
        int failures = 0;        // in this generation
    };
    struct FrameWait;

    bool NextBar(StillsJob* job);
    bool NextFrame(StillsJob* job);
    void Reach(const std::vector<bool>& reached);

    FilmstripConfig config;
    mutable std::mutex lock;
    int64_t revision = 0;
    int64_t pictures = 0;  // pictures made so far
    double songRows = 0;
    bool started = false;
    TrackKeyMap tracks;
    std::vector<Bar> bars;
    std::deque<std::shared_ptr<FrameWait>> frames;
    int framesBusy = 0;  // taken and not answered yet
    std::unique_ptr<StillsWorker> strip;
    std::unique_ptr<StillsWorker> single;
};
