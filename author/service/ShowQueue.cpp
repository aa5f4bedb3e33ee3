// ShowQueue: the batch the main thread takes, and transport round trips.
#include "author/service/ShowQueue.h"

void ShowQueue::PostChange(const DocumentChange& change) {
    std::lock_guard<std::mutex> hold(lock);
    for (const TrackUpdate& track : change.tracks) queued.tracks[track.name] = track.keys;
    queued.revision = std::max(queued.revision, change.revision);
    if (change.song) queued.song = change.song;
    pending.store(true, std::memory_order_release);
}

void ShowQueue::PostLine(const std::string& line, bool ok) {
    std::lock_guard<std::mutex> hold(lock);
    queued.lines.emplace_back(line, ok);
    pending.store(true, std::memory_order_release);
}

bool ShowQueue::RunTransport(const TransportRequest& request, ShowPosition* answer, std::chrono::milliseconds wait) {
    auto transport = std::make_shared<Transport>();
    transport->request = request;
    {
        std::lock_guard<std::mutex> hold(lock);
        queued.transports.push_back(transport);
        pending.store(true, std::memory_order_release);
    }
    std::unique_lock<std::mutex> hold(transport->lock);
    if (!transport->done.wait_for(hold, wait, [&] { return transport->answered; })) return false;
    *answer = transport->answer;
    return true;
}

ShowQueue::Batch ShowQueue::Take() {
    Batch batch;
    if (!Pending()) return batch;
    std::lock_guard<std::mutex> hold(lock);
    batch = std::move(queued);
    queued = Batch();
    pending.store(false, std::memory_order_release);
    return batch;
}

void ShowQueue::Answer(Transport& transport, const ShowPosition& position) {
    std::lock_guard<std::mutex> hold(transport.lock);
    transport.answer = position;
    transport.answered = true;
    transport.done.notify_all();
}
