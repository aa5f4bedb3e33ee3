// A built program left running while a test talks to it: started in a folder
// with a changed environment, its standard output read as it comes (without
// blocking), stopped by signal or waited for at the end.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class RunningProgram {
public:
    RunningProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                   const std::map<std::string, std::optional<std::string>>& environment = {});
    ~RunningProgram();  // kills the program if it still runs
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return pid > 0; }
    pid_t id() const { return pid; }
    // Every whole line printed so far (reads what has arrived first).
    const std::vector<std::string>& Lines();
    // Waits until a line printed after the first `from` lines satisfies
    // `match`; its index, or -1 when none came within `seconds`.
    int WaitForLine(const std::function<bool(const std::string&)>& match, size_t from = 0, double seconds = 30);
    // Waits for the program's end; its exit code (128 + signal when it was
    // killed after `seconds`).
    int Wait(double seconds = 30);
    // What it wrote on standard error (read once it has ended).
    std::string ErrorText() const;

private:
    void ReadAvailable();

    pid_t pid = -1;
    int outPipe = -1;
    std::string errPath;
    std::string partial;
    std::vector<std::string> lines;
};
