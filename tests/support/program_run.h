// Runs a program of the build (a tool, tessel-capture) in a folder with a
// changed environment, to its end or a deadline, and keeps what it printed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct ProgramResult {
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;  // 128 + signal when it was killed
    std::string out;
    std::string err;
};

// Called while the program runs, with its process and the file its standard
// error goes to (for instance to wait for a line, then send a signal).
using WhileRunning = std::function<void(pid_t program, const std::string& errPath)>;

// Runs `program` with `args` in `folder`. Each environment entry is set, or
// unset when it holds no value.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& folder,
                         const std::map<std::string, std::optional<std::string>>& environment = {},
                         int timeoutSeconds = 300, const WhileRunning& whileRunning = nullptr);

// Starts `program` with `args` in `folder`, its standard output and error
// going to the given descriptors; `closeInChild` (unless -1) is closed in the
// child, such as the other end of a pipe. The child's id, -1 on failure.
pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                   const std::map<std::string, std::optional<std::string>>& environment, int outFile,
                   int errFile, int closeInChild = -1);

// Waits for the child, killing it once the deadline passes; its exit code.
int WaitForExit(pid_t pid, std::chrono::steady_clock::time_point deadline, bool* timedOut);
