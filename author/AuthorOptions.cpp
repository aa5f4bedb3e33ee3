// AuthorOptions: "--name VALUE" and "--name=VALUE" for the three paths.
#include "author/AuthorOptions.h"

AuthorOptions DefaultAuthorOptions(const std::string& root) {
    AuthorOptions options;
    options.source = root + "/production/show.sync";
    options.sections = root + "/production/song_sections.txt";
    options.shaders = root + "/data/Shaders";
    return options;
}

bool ParseAuthorOptions(int argc, const char* const* argv, AuthorOptions* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options->help = true;
            continue;
        }
        std::string value;
        const size_t equals = arg.find('=');
        const bool inlineValue = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inlineValue) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        }
        std::string* target = arg == "--sync"       ? &options->source
                              : arg == "--sections" ? &options->sections
                              : arg == "--shaders"  ? &options->shaders
                                                    : nullptr;
        if (!target) {
            *error = "unknown option " + arg;
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= argc) {
                *error = arg + " needs a path";
                return false;
            }
            value = argv[++i];
        }
        if (value.empty()) {
            *error = arg + " needs a path";
            return false;
        }
        *target = value;
    }
    return true;
}

std::string AuthorUsage(const char* program) {
    return std::string("usage: ") + program +
           " [--sync FILE] [--sections FILE] [--shaders DIR]\n"
           "Plays the show from the show folder (run it there) and follows saves:\n"
           "the track source and the song form are compiled again, shaders rebuilt.\n"
           "  --sync FILE      track source (default: production/show.sync beside the program)\n"
           "  --sections FILE  song form (default: production/song_sections.txt beside it)\n"
           "  --shaders DIR    shader folder (default: data/Shaders beside it; in the build's\n"
           "                   show folder these are links to the source tree's)\n"
           "Keys: Space pause/resume, Left/Right one bar, Page Up/Down previous/next\n"
           "section or cue, Home the start, End the last mark, L loop the section,\n"
           "Tab the overlay, f the frame counter, Escape quit.\n";
}
