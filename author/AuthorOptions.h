// AuthorOptions: tessel-author's command line. Every option takes a path;
// the defaults are the source tree's production files and shaders.
#pragma once

#include <string>

struct AuthorOptions {
    std::string source;
    std::string sections;
    std::string shaders;
    bool help = false;
};

// The defaults under `sourceTree` (the checkout the program was built from).
AuthorOptions DefaultAuthorOptions(const std::string& sourceTree);
// Parses argv over the defaults; false with a message in *error.
bool ParseAuthorOptions(int argc, const char* const* argv, AuthorOptions* options, std::string* error);
std::string AuthorUsage(const char* program);
