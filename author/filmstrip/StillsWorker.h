// StillsWorker: one tessel-stills child and the thread that talks to it.
// The thread starts the child (so that the child dies with it, see
// ChildProcess), hands it the latest tracks and shader saves before each
// picture, and asks its owner for work through `next`, one picture at a
// time. A picture whose size differs from the child's restarts the child
// at that size. A child that dies or does not answer within the time limit
// is killed; that picture fails, and the next one starts a new child with
// everything it needs, so nothing is lost but time. No call waits on the
// child: they take a short lock and wake the thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "author/filmstrip/FilmstripReach.h"
#include "platform/ChildProcess.h"

struct StillsJob {
    double row = 0;  // the moment, in rows
    int width = 0;
    int height = 0;
    // Called on the worker's thread with the JPEG bytes, or ok false.
    std::function<void(bool ok, const std::string& jpeg)> done;
};

struct StillsSetup {
    std::string program;                  // tessel-stills' path
    std::string logPath;                  // the child's log
    std::string folder;                   // where it runs (the show's files); empty: here
    bool idle = true;                     // at idle priority (false: normal, for tests on a busy machine)
    int answerMilliseconds = 60000;       // start-up or one picture
    std::function<void(const std::string&)> report;  // a line for the author's terminal
};

class StillsWorker {
public:
    // Fills *job with the next picture wanted; false when there is none.
    using Next = std::function<bool(StillsJob* job)>;

    StillsWorker(StillsSetup setup, Next next) : setup(std::move(setup)), next(std::move(next)) {}
    ~StillsWorker() { Stop(); }
    StillsWorker(const StillsWorker&) = delete;
    StillsWorker& operator=(const StillsWorker&) = delete;

    // Starts the thread; a child of warmWidth x warmHeight (when given) is
    // started at once, so that the first picture does not wait for it.
    void Start(int warmWidth = 0, int warmHeight = 0);
    // Ends the child and the thread; a picture being made fails.
    void Stop();
    // There may be work: `next` is asked again.
    void Wake();
    // The tracks of these names get these keys before the next picture.
    void SetTracks(const TrackKeyMap& changed);
    // The shaders were saved: the child builds them again before the next picture.
    void ShadersSaved();
    // Children started so far (a restart counts).
    int Starts() const;
    // The running child's process id, 0 when none runs.
    int ChildId() const { return childId.load(); }

private:
    void Run(int warmWidth, int warmHeight);
    bool EnsureChild(int width, int height);
    bool Bring();  // the child up to date with tracks and shaders
    bool Render(const StillsJob& job, std::string* jpeg);
    void EndChild();

    StillsSetup setup;
    Next next;
    mutable std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    bool woken = false;
    TrackKeyMap tracks;
    int64_t tracksVersion = 0;
    int64_t shadersVersion = 0;
    int starts = 0;
    std::atomic<int> childId{0};
    std::thread thread;

    // The thread's own.
    platform::ChildProcess child;
    int childWidth = 0, childHeight = 0;
    int64_t childTracks = -1, childShaders = 0;
    uint32_t nextId = 1;
};
