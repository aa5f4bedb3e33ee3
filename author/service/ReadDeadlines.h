// Deadlines for reading a socket in total, where civetweb bounds only each
// wait: a body sent a byte every two seconds never lets its five-second
// wait run out. At its deadline a socket's reading side is shut, so that a
// read blocked on it returns at once; the answer can still be written.
// One thread waits for the earliest deadline.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

class ReadDeadlines {
public:
    using Clock = std::chrono::steady_clock;

    ReadDeadlines();
    ~ReadDeadlines();
    ReadDeadlines(const ReadDeadlines&) = delete;
    ReadDeadlines& operator=(const ReadDeadlines&) = delete;

    // From now until Disarm, `socket`'s reading side is shut at `deadline`.
    uint64_t Arm(int socket, Clock::time_point deadline);
    // Ends the watch; true when the deadline had come (the socket was cut).
    // After it returns the socket is never touched again.
    bool Disarm(uint64_t id);

private:
    struct Watch {
        int socket;
        Clock::time_point deadline;
        bool cut = false;
    };
    void Run();

    std::mutex lock;
    std::condition_variable changed;
    std::map<uint64_t, Watch> watches;
    uint64_t next = 1;
    bool stopping = false;
    std::thread waiter;
};
