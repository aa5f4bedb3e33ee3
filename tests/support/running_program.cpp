#include "tests/support/running_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include "tests/support/player_run.h"
#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& args,
                               const std::string& folder,
                               const std::map<std::string, std::optional<std::string>>& environment) {
    char errTemplate[] = "/tmp/tessel-running-err-XXXXXX";
    int errFile = mkstemp(errTemplate);
    int pipeEnds[2];
    if (errFile < 0 || pipe(pipeEnds) != 0) return;
    errPath = errTemplate;
    pid = SpawnProgram(program, args, folder, environment, pipeEnds[1], errFile, pipeEnds[0]);
    close(errFile);
    close(pipeEnds[1]);
    outPipe = pipeEnds[0];
    fcntl(outPipe, F_SETFL, fcntl(outPipe, F_GETFL) | O_NONBLOCK);
}

RunningProgram::~RunningProgram() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (outPipe >= 0) close(outPipe);
    if (!errPath.empty()) unlink(errPath.c_str());
}

void RunningProgram::ReadAvailable() {
    if (outPipe < 0) return;
    char buffer[4096];
    ssize_t got;
    while ((got = read(outPipe, buffer, sizeof buffer)) > 0) {
        partial.append(buffer, static_cast<size_t>(got));
        size_t end;
        while ((end = partial.find('\n')) != std::string::npos) {
            lines.push_back(partial.substr(0, end));
            partial.erase(0, end + 1);
        }
    }
}

const std::vector<std::string>& RunningProgram::Lines() {
    ReadAvailable();
    return lines;
}

int RunningProgram::WaitForLine(const std::function<bool(const std::string&)>& match, size_t from,
                                double seconds) {
    int found = -1;
    WaitUntil(
        [&] {
            ReadAvailable();
            for (size_t i = from; i < lines.size(); ++i)
                if (match(lines[i])) {
                    found = static_cast<int>(i);
                    return true;
                }
            return false;
        },
        seconds);
    return found;
}

int RunningProgram::Wait(double seconds) {
    if (pid <= 0) return -1;
    bool timedOut = false;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    const int code = WaitForExit(pid, deadline, &timedOut);
    pid = -1;
    ReadAvailable();
    return code;
}

std::string RunningProgram::ErrorText() const { return ReadFileBytes(errPath); }
