#include "tests/support/program_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <thread>

#include "tests/support/scratch_dir.h"

int WaitForExit(pid_t pid, std::chrono::steady_clock::time_point deadline, bool* timedOut) {
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            *timedOut = true;
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                   const std::map<std::string, std::optional<std::string>>& environment, int outFile,
                   int errFile, int closeInChild) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        dup2(outFile, 1);
        dup2(errFile, 2);
        if (closeInChild >= 0) close(closeInChild);
        for (const auto& [key, value] : environment) {
            if (value)
                setenv(key.c_str(), value->c_str(), 1);
            else
                unsetenv(key.c_str());
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& folder,
                         const std::map<std::string, std::optional<std::string>>& environment,
                         int timeoutSeconds, const WhileRunning& whileRunning) {
    ProgramResult result;
    char outTemplate[] = "/tmp/tessel-run-out-XXXXXX";
    char errTemplate[] = "/tmp/tessel-run-err-XXXXXX";
    int outFile = mkstemp(outTemplate);
    int errFile = mkstemp(errTemplate);
    if (outFile < 0 || errFile < 0) return result;

    pid_t pid = SpawnProgram(program, args, folder, environment, outFile, errFile);
    close(outFile);
    close(errFile);
    if (pid > 0) {
        result.started = true;
        if (whileRunning) whileRunning(pid, errTemplate);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        result.exitCode = WaitForExit(pid, deadline, &result.timedOut);
    }
    result.out = ReadFileBytes(outTemplate);
    result.err = ReadFileBytes(errTemplate);
    unlink(outTemplate);
    unlink(errTemplate);
    return result;
}
