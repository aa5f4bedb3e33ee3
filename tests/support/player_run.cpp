#include "tests/support/player_run.h"

#include "tests/support/program_run.h"
#include "tests/support/show_folder.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::vector<std::string> DecodeLogLines(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            uint32_t low = static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(text, unit);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(text.substr(start, pos - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

bool WaitUntil(const std::function<bool()>& condition, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::vector<std::string> ErrorLines(const std::vector<std::string>& lines) {
    std::vector<std::string> errors;
    for (const auto& line : lines)
        if (line.rfind("ERROR: ", 0) == 0) errors.push_back(line);
    return errors;
}

PlayerResult RunPlayer(const std::string& display, const ScratchDir& dir, const PlayerOptions& options) {
    PlayerResult result;
    if (options.writeConfig) dir.Write("Config.txt", options.config);
    LinkBuiltShow(dir, options.showFolders);

    std::string errPath = dir / ".player-stderr";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0) dup2(err, 2);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("ALSOFT_DRIVERS", "null", 1);
        for (const auto& [key, value] : options.environment) setenv(key.c_str(), value.c_str(), 1);
        execl(TESSEL_PLAYER, "tessel", (char*)nullptr);
        _exit(127);
    }
    if (pid < 0) return result;
    result.started = true;
    if (options.whileRunning) options.whileRunning(pid, dir);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    result.exitCode = WaitForExit(pid, deadline, &result.timedOut);
    result.logBytes = dir.Read("LogFile.txt");
    result.lines = DecodeLogLines(result.logBytes);
    result.stderrText = ReadFileBytes(errPath);
    // What the player said on standard error (a sanitizer report, say) shows in the test's output.
    if (!result.stderrText.empty())
        std::fprintf(stderr, "--- the player's standard error ---\n%s--- end ---\n", result.stderrText.c_str());
    return result;
}
