// Runs this benchmark's own program again as a child process, so that what a
// table reports (time, peak memory) belongs to that run alone. The child's
// standard output comes back whole, with its exit status and peak memory.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

struct ChildRun {
    bool succeeded = false;  // exited with status 0
    std::string output;
    long peakKilobytes = 0;
};

// Runs /proc/self/exe with args (args[0] is the name it sees), in folder
// when one is given.
inline ChildRun RunSelf(const std::vector<std::string>& args, const char* folder = nullptr) {
    ChildRun run;
    int fds[2];
    if (args.empty() || pipe(fds) != 0) return run;
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        if (folder && chdir(folder) != 0) _exit(126);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return run;
    }
    char chunk[256];
    ssize_t got;
    while ((got = read(fds[0], chunk, sizeof chunk)) > 0) run.output.append(chunk, size_t(got));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.peakKilobytes = usage.ru_maxrss;
    return run;
}
