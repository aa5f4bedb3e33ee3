// The production's show set up for a bench that runs tessel-author's session
// in its own process: the display exported, the silent sound device, the
// show's data linked into a scratch show folder (640 x 360 window) and a
// scratch copy of the track source, TMPDIR inside it, and the show folder
// made the working folder. Benches only: the folders live as long as the
// caller keeps `show` and `work`.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/scratch_dir.h"
#include "tests/support/xvfb_server.h"

inline bool EnterBenchShow(const char* bench, XvfbServer& server, ScratchDir& show, ScratchDir& work) {
    if (!server.ok()) {
        std::fprintf(stderr, "%s: no Xvfb\n", bench);
        return false;
    }
    server.Export();
    setenv("ALSOFT_DRIVERS", "null", 1);
    for (const char* folder : {"Audio", "Textures", "sync"}) show.Link(folder, std::string(TESSEL_SHOW_DIR) + "/" + folder);
    show.Write("Config.txt", "ScreenWidth = 640;\nScreenHeight = 360;\nIsFullScreen = 0;\nFSAA = 0;\n");
    work.Write("show.sync", ReadFileBytes(std::string(TESSEL_SOURCE_TREE) + "/production/show.sync"));
    work.Write("tmp/.keep", "");
    setenv("TMPDIR", (work / "tmp").c_str(), 1);
    return chdir(show.path().c_str()) == 0;
}
