// ReadDeadlines: the waiting thread.
#include "author/service/ReadDeadlines.h"

#include <sys/socket.h>

ReadDeadlines::ReadDeadlines() : waiter([this] { Run(); }) {}

ReadDeadlines::~ReadDeadlines() {
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
    }
    changed.notify_all();
    waiter.join();
}

uint64_t ReadDeadlines::Arm(int socket, Clock::time_point deadline) {
    uint64_t id;
    {
        std::lock_guard<std::mutex> hold(lock);
        id = next++;
        watches.emplace(id, Watch{socket, deadline});
    }
    changed.notify_all();
    return id;
}

bool ReadDeadlines::Disarm(uint64_t id) {
    std::lock_guard<std::mutex> hold(lock);
    const auto found = watches.find(id);
    if (found == watches.end()) return false;
    const bool cut = found->second.cut;
    watches.erase(found);
    return cut;
}

void ReadDeadlines::Run() {
    std::unique_lock<std::mutex> hold(lock);
    while (!stopping) {
        Clock::time_point earliest = Clock::time_point::max();
        const Clock::time_point now = Clock::now();
        for (auto& [id, watch] : watches) {
            if (watch.cut) continue;
            if (watch.deadline <= now) {
                // Under the lock: Disarm cannot return while this runs.
                shutdown(watch.socket, SHUT_RD);
                watch.cut = true;
            } else if (watch.deadline < earliest) {
                earliest = watch.deadline;
            }
        }
        if (earliest == Clock::time_point::max())
            changed.wait(hold);
        else
            changed.wait_until(hold, earliest);
    }
}
