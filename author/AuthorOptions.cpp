// AuthorOptions: the three paths on the shared command line, each checked
// to exist when given; the defaults are checked when the session starts.
#include "author/AuthorOptions.h"

AuthorOptions DefaultAuthorOptions(const std::string& root) {
    AuthorOptions options;
    options.source = root + "/production/show.sync";
    options.sections = root + "/production/song_sections.txt";
    options.shaders = root + "/data/Shaders";
    return options;
}

void AddAuthorOptions(cli::CommandLine* line, AuthorOptions* options) {
    CLI::App& app = line->App();
    app.description(
        "Plays the show from the show folder (run it there) and follows saves:\n"
        "the track source and the song form are compiled again, shaders rebuilt.");
    app.add_option("--sync", options->source, "track source (default: production/show.sync beside the program)")
        ->type_name("FILE")
        ->check(cli::ExistingFile());
    app.add_option("--sections", options->sections, "song form (default: production/song_sections.txt beside it)")
        ->type_name("FILE")
        ->check(cli::ExistingFile());
    app.add_option("--shaders", options->shaders, "shader folder (default: data/Shaders beside it; in the build's show\n"
                                     "folder these are links to the source tree's)")
        ->type_name("DIR")
        ->check(cli::ExistingFolder());
    app.footer(
        "keys: Space pause/resume, Left/Right one bar, Page Up/Down previous/next\n"
        "section or cue, Home the start, End the last mark, L loop the section,\n"
        "Tab the overlay, f the frame counter, Escape quit.");
}
