// Runs the real player (the tessel executable) in a scratch folder against a
// given X server, and reads back what it logged.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/scratch_dir.h"

struct PlayerOptions {
    // Written as Config.txt unless writeConfig is false.
    std::string config = "ScreenWidth = 640;\nScreenHeight = 360;\nIsFullScreen = 0;\nFSAA = 0;\n";
    bool writeConfig = true;
    // Folders of the built show linked into the scratch folder.
    std::vector<std::string> showFolders = {"Shaders", "Textures", "Audio", "sync"};
    // Extra environment; ALSOFT_DRIVERS=null is set unless overridden here.
    std::map<std::string, std::string> environment;
    // Runs while the player runs (for instance to press keys); the player is
    // killed if it is still running this long after the callback returned.
    std::function<void(pid_t player, const ScratchDir& dir)> whileRunning;
    int timeoutSeconds = 120;
};

struct PlayerResult {
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;
    std::string logBytes;            // LogFile.txt as written (UTF-16 LE)
    std::vector<std::string> lines;  // the log decoded to UTF-8, split at CR LF
    std::string stderrText;
};

// Prepares `dir` (config, show folders) and runs the player there to its end.
PlayerResult RunPlayer(const std::string& display, const ScratchDir& dir, const PlayerOptions& options);

// UTF-16 LE bytes to UTF-8 lines split at CR LF (the last part is kept only
// when it is not empty).
std::vector<std::string> DecodeLogLines(const std::string& utf16);

// Polls `condition` every 10 ms until it holds or `seconds` pass; true when it held.
bool WaitUntil(const std::function<bool()>& condition, double seconds = 30);

// The lines that start with "ERROR: ".
std::vector<std::string> ErrorLines(const std::vector<std::string>& lines);
