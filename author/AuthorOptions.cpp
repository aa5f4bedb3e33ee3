// AuthorOptions: the three paths on the shared command line, each checked
// to exist when given (the defaults are checked when the session starts),
// and the editing service's port, address and switches.
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
    app.add_option("--port", options->port, "the editor's port, 0 for a free one (default 7070)")
        ->type_name("N")
        ->check(cli::WholeNumber(0, 65535));
    app.add_option("--listen", options->listen,
                   "the editor's address (default 127.0.0.1; another one is reachable\n"
                   "from other machines, with a warning)")
        ->type_name("X")
        ->check(cli::NotEmpty());
    app.add_flag("--open", options->open, "open the editor in the desktop's browser");
    app.add_flag_callback("--no-editor", [options] { options->editor = false; }, "no editing service");
    app.add_flag_callback("--no-filmstrip", [options] { options->filmstrip = false; },
                          "no pictures of the show in the editor (its filmstrip and hover)");
    app.add_option_function<std::string>(
           "--filmstrip-priority", [options](const std::string& value) { options->filmstripIdle = value == "idle"; },
           "idle (default: the pictures take only the machine's spare time) or normal (at the show's "
           "priority, for tests on a busy machine)")
        ->type_name("P")
        ->check(CLI::IsMember({"idle", "normal"}));
    app.footer(
        "keys: Space pause/resume, Left/Right one bar, Page Up/Down previous/next\n"
        "section or cue, Home the start, End the last mark, L loop the section,\n"
        "Tab the overlay, f the frame counter, Escape quit.\n"
        "\n"
        "The editing service prints one line, editor: http://127.0.0.1:PORT/?token=TOKEN.\n"
        "Open it in a browser on this machine: the token is new each run and the first\n"
        "visit turns it into a cookie; scripts send Authorization: Bearer TOKEN. Every\n"
        "edit is in the show at once and written to the track source within a second.\n"
        "JSON API: GET /api/show, GET /api/waveform, POST /api/edit {ops:[{op:set|delete|\n"
        "move, track, row|from,to, value, interp}], revision?, group?}, POST /api/undo,\n"
        "POST /api/redo, POST /api/transport {play?, row?, loop?}; the WebSocket /api/live\n"
        "pushes positions and changes. production/README.md has the details.");
}
