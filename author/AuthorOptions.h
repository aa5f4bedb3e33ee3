// AuthorOptions: tessel-author's command line: the three paths (defaults:
// the production files and shaders beside the program) and the editing
// service's address.
#pragma once

#include <string>

#include "cli/CommandLine.h"

struct AuthorOptions {
    std::string source;
    std::string sections;
    std::string shaders;
    bool editor = true;                // --no-editor turns the service off
    int port = 7070;                   // 0: a free port
    std::string listen = "127.0.0.1";  // another address is reachable from other machines
    bool open = false;                 // also open the address in the desktop's browser
    bool filmstrip = true;             // --no-filmstrip: the editor without the show's pictures
    bool filmstripIdle = true;         // --filmstrip-priority normal: its pictures at the show's priority
    std::string stillsProgram;         // the filmstrip's picture-maker (empty: tessel-stills beside the program)
};

// The defaults under `root`: its production/ and data/Shaders/.
AuthorOptions DefaultAuthorOptions(const std::string& root);
// Adds the options, their help and the keys to `line`; parsing fills *options.
void AddAuthorOptions(cli::CommandLine* line, AuthorOptions* options);
