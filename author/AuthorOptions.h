// AuthorOptions: tessel-author's command line. Every option takes a path;
// the defaults are the production files and shaders beside the program.
#pragma once

#include <string>

#include "cli/CommandLine.h"

struct AuthorOptions {
    std::string source;
    std::string sections;
    std::string shaders;
};

// The defaults under `root`: its production/ and data/Shaders/.
AuthorOptions DefaultAuthorOptions(const std::string& root);
// Adds the options, their help and the keys to `line`; parsing fills *options.
void AddAuthorOptions(cli::CommandLine* line, AuthorOptions* options);
