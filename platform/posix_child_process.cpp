// ChildProcess on POSIX: fork and exec with the child's end of two pipes as
// its standard input and output, every other descriptor closed, signals as
// a new program expects them, and PR_SET_PDEATHSIG so that it dies with the
// thread that started it. A third pipe (closed by a successful exec) brings
// back why an exec failed. Between fork and exec the child only makes
// async-signal-safe calls, as a fork of a threaded process must.
#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace platform {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Every descriptor from `first` up: close_range where the kernel has it.
void CloseFrom(int first) {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, unsigned(first), ~0u, 0u) == 0) return;
#endif
    const long limit = sysconf(_SC_OPEN_MAX);
    for (long fd = first; fd < (limit > 0 && limit < 65536 ? limit : 65536); ++fd) close(int(fd));
}

std::string EndingText(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

}  // namespace

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder, std::string* error) {
    Stop(0);
    ending.clear();
    signal(SIGPIPE, SIG_IGN);
    int toChild[2], fromChild[2], report[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) {
        *error = std::string("no pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(fromChild, O_CLOEXEC) != 0 || pipe2(report, O_CLOEXEC) != 0) {
        *error = std::string("no pipe: ") + std::strerror(errno);
        close(toChild[0]);
        close(toChild[1]);
        return false;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);  // the starter ended before the line above
        // Out of the way first (a pipe may have got 0, 1 or 2), then into place:
        // the pipes as 0 and 1, the report pipe as 3, nothing else open.
        const int in = fcntl(toChild[0], F_DUPFD, 10);
        const int out = fcntl(fromChild[1], F_DUPFD, 10);
        const int failed = fcntl(report[1], F_DUPFD, 10);
        if (in < 0 || out < 0 || failed < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(failed, 3) < 0) _exit(127);
        fcntl(3, F_SETFD, FD_CLOEXEC);  // a successful exec closes it
        CloseFrom(4);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        if (folder.empty() || chdir(folder.c_str()) == 0) execv(program.c_str(), argv.data());
        const int failure = errno;
        (void)!write(3, &failure, sizeof failure);
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    close(report[1]);
    if (child < 0) {
        *error = std::string("cannot start ") + program + ": " + std::strerror(errno);
        close(toChild[1]);
        close(fromChild[0]);
        close(report[0]);
        return false;
    }
    int failure = 0;
    ssize_t got;
    do got = read(report[0], &failure, sizeof failure);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    pid = child;
    input = toChild[1];
    output = fromChild[0];
    if (got == sizeof failure) {
        *error = "cannot start " + program + ": " + std::strerror(failure);
        Stop(0);
        return false;
    }
    return true;
}

void ChildProcess::Kill() {
    if (pid > 0) kill(pid, SIGKILL);
}

void ChildProcess::Stop(int graceMs) {
    CloseFd(input);
    if (pid > 0) {
        int status = 0;
        pid_t done = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
        while ((done = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (done == 0) {
            kill(pid, SIGKILL);
            while ((done = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
            }
        }
        ending = done == pid ? EndingText(status) : "not reaped";
        pid = -1;
    }
    CloseFd(output);
}

bool RunAtIdlePriority() {
    sched_param none{};
    none.sched_priority = 0;
    const bool idle = sched_setscheduler(0, SCHED_IDLE, &none) == 0;
    // Linux takes a thread id for "the process": this thread, and what it starts.
    const bool nice = setpriority(PRIO_PROCESS, 0, 19) == 0;
    return idle || nice;
}

}  // namespace platform
