// One background thread that runs a sink's heavy jobs (encoding, compressing)
// in the order they were posted. The queue holds at most a fixed number of
// jobs, so a caller far ahead of the worker waits instead of piling up
// memory. The first job that fails stops the rest: later jobs are dropped and
// its message is kept for the caller.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class SinkWorker {
public:
    // A job returns false with its message on failure.
    using Job = std::function<bool(std::string* error)>;

    explicit SinkWorker(size_t maxQueued);
    ~SinkWorker();
    SinkWorker(const SinkWorker&) = delete;
    SinkWorker& operator=(const SinkWorker&) = delete;

    // Queues a job, waiting while the queue is full; false once a job has failed.
    bool Post(Job job);
    // Waits until every posted job has run; false with the first failure's message.
    bool Drain(std::string* error);
    // Drops the queued jobs, lets the running one end and joins the thread.
    void Stop();
    // Seconds Post has spent waiting for room, in total.
    double SecondsWaited() const;

private:
    void Run();

    const size_t maxQueued;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    bool busy = false;
    bool stopping = false;
    bool failed = false;
    std::string failure;
    double secondsWaited = 0.0;
    std::thread thread;
};
