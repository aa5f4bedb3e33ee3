// ChildProcess: a helper program started with pipes on its standard input
// and output (its standard error is ours), for work that needs a process of
// its own. It never outlives us: it is killed when the thread that started
// it ends (keep that thread for its whole life), and it sees the end of its
// input when we end or Stop. Starting one makes writes to a pipe whose
// reader is gone fail with EPIPE instead of raising SIGPIPE, process-wide.
// The POSIX backend is posix_child_process.cpp.
#pragma once

#include <string>
#include <vector>

namespace platform {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(0); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Runs `program` (a path) with `arguments` in `folder` (empty: the
    // current one); false with *error when it could not be run at all (no
    // such file, not executable, no such folder). Only our pipes and its
    // standard error reach it.
    bool Start(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
               std::string* error);
    // The write end of its standard input and the read end of its standard
    // output; -1 when it is not running.
    int Input() const { return input; }
    int Output() const { return output; }
    // Closes its input, waits up to `graceMs` for it to end, then kills it;
    // reaps it and closes the pipes. Safe to call twice.
    void Stop(int graceMs = 1000);
    // Kills it now (from any thread: a read waiting on it then ends); Stop
    // still reaps it.
    void Kill();
    bool Started() const { return pid > 0; }
    int Id() const { return pid; }
    // How it ended, once Stop reaped it: "exit status 1", "signal 9".
    const std::string& Ending() const { return ending; }

private:
    int pid = -1;
    int input = -1;
    int output = -1;
    std::string ending;
};

// The calling thread and every thread it creates from now on run only when
// the machine has nothing else to do (SCHED_IDLE, and nice 19 should that
// be refused). False when neither could be set.
bool RunAtIdlePriority();

}  // namespace platform
