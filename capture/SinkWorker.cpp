// The sinks' background thread: a bounded first-in first-out job queue.
#include "capture/SinkWorker.h"

#include <chrono>

SinkWorker::SinkWorker(size_t maxQueued) : maxQueued(maxQueued < 1 ? 1 : maxQueued) {
    thread = std::thread([this] { Run(); });
}

SinkWorker::~SinkWorker() { Stop(); }

bool SinkWorker::Post(Job job) {
    std::unique_lock<std::mutex> lock(mutex);
    if (jobs.size() >= maxQueued && !failed && !stopping) {
        const auto start = std::chrono::steady_clock::now();
        changed.wait(lock, [this] { return jobs.size() < maxQueued || failed || stopping; });
        secondsWaited += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (failed || stopping) return false;
    jobs.push_back(std::move(job));
    changed.notify_all();
    return true;
}

bool SinkWorker::Drain(std::string* error) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return (jobs.empty() && !busy) || stopping; });
    if (failed && error) *error = failure;
    return !failed && !stopping;
}

void SinkWorker::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        jobs.clear();
        changed.notify_all();
    }
    if (thread.joinable()) thread.join();
}

double SinkWorker::SecondsWaited() const {
    std::lock_guard<std::mutex> lock(mutex);
    return secondsWaited;
}

void SinkWorker::Run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return !jobs.empty() || stopping; });
        if (stopping) return;
        Job job = std::move(jobs.front());
        jobs.pop_front();
        busy = true;
        changed.notify_all();
        lock.unlock();
        std::string error;
        const bool ok = job(&error);
        job = nullptr;
        lock.lock();
        busy = false;
        if (!ok && !failed) {
            failed = true;
            failure = error;
            jobs.clear();
        }
        changed.notify_all();
    }
}
