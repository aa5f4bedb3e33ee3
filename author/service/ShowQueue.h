// ShowQueue: how the service's threads reach the show, which only the main
// thread may touch. Track changes, a new song form and lines to print are
// queued and taken between two frames; only the newest keys of each track
// are kept, so a burst of edits costs the frame one refresh per track. A
// transport request waits (bounded) for the main thread to carry it out.
// Taking from an empty queue costs one atomic read.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "author/service/EditRequest.h"
#include "author/service/ShowDocument.h"

// Where the show is, as the main thread saw it after its last frame.
struct ShowPosition {
    double row = 0;               // fractional: beats x 16
    bool playing = false;
    std::optional<std::pair<double, double>> loop;  // rows
    int64_t frame = 0;            // frames presented so far
    int64_t revision = 0;         // the document revision that frame showed
};

class ShowQueue {
public:
    struct Transport {
        TransportRequest request;
        std::mutex lock;
        std::condition_variable done;
        bool answered = false;
        ShowPosition answer;
    };

    // What the main thread takes between two frames.
    struct Batch {
        std::map<std::string, std::vector<TrackKey>> tracks;
        int64_t revision = 0;                     // the newest revision queued (0: none)
        std::optional<SongForm> song;
        std::vector<std::pair<std::string, bool>> lines;   // to print: text, ok
        std::vector<std::shared_ptr<Transport>> transports;
        bool Empty() const { return tracks.empty() && revision == 0 && !song && lines.empty() && transports.empty(); }
    };

    // Any thread.
    void PostChange(const DocumentChange& change);
    void PostLine(const std::string& line, bool ok);
    // Queues the request and waits up to `wait` for the main thread's answer;
    // false when it did not come.
    bool RunTransport(const TransportRequest& request, ShowPosition* answer, std::chrono::milliseconds wait);

    // Main thread: everything queued since the last call.
    bool Pending() const { return pending.load(std::memory_order_acquire); }
    Batch Take();
    // Main thread: the answer to a transport request of the batch.
    static void Answer(Transport& transport, const ShowPosition& position);

private:
    std::mutex lock;
    Batch queued;
    std::atomic<bool> pending{false};
};
