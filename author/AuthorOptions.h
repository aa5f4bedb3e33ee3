// AuthorOptions: tessel-author's command line. Every option takes a path;
// the defaults are the production files and shaders beside the program.
#pragma once

#include <string>

struct AuthorOptions {
    std::string source;
    std::string sections;
    std::string shaders;
    bool help = false;
};

// The defaults under `root`: its production/ and data/Shaders/.
AuthorOptions DefaultAuthorOptions(const std::string& root);
// Parses argv over the defaults; false with a message in *error.
bool ParseAuthorOptions(int argc, const char* const* argv, AuthorOptions* options, std::string* error);
std::string AuthorUsage(const char* program);
