// Runs a test inside a scratch folder and returns to the previous working
// directory afterwards, for code that reads and writes relative paths.
#pragma once

#include <unistd.h>

#include <string>

#include "tests/support/scratch_dir.h"

class InScratchDir {
public:
    InScratchDir() {
        char buffer[4096];
        if (getcwd(buffer, sizeof buffer)) previous = buffer;
        if (chdir(dir.path().c_str()) != 0) previous.clear();
    }
    ~InScratchDir() {
        if (!previous.empty() && chdir(previous.c_str()) != 0) return;
    }
    const ScratchDir& scratch() const { return dir; }

private:
    ScratchDir dir;
    std::string previous;
};
