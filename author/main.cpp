// tessel-author: the show in a window, following saves of its track source,
// song form and shaders, with a transport on the keyboard and an overlay.
// Run from the show folder (build/show/), like the player; the track source,
// song form and shaders it edits are found beside the program. Exit status 0
// after Escape or a closed window; 1 when it cannot start; 2 for a mistake
// on the command line.
#include <csignal>
#include <cstdio>
#include <string>

#include "author/AuthorOptions.h"
#include "author/AuthorSession.h"
#include "author/ProgramFolder.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void RequestStop(int) { gStop = 1; }

}  // namespace

int main(int argc, char** argv) {
    AuthorOptions options = DefaultAuthorOptions(ProgramFolder());
    cli::CommandLine line("tessel-author");
    AddAuthorOptions(&line, &options);
    if (const std::optional<int> exit = line.Parse(argc, argv)) return *exit;
    // An interrupted run still shuts down and removes its run folder.
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGHUP, RequestStop);
    AuthorSession session;
    std::string error;
    if (!session.Start(options, &error)) {
        session.Shutdown();
        std::fprintf(stderr, "tessel-author: %s\n", error.c_str());
        return 1;
    }
    session.Run(&gStop);
    session.Shutdown();
    return 0;
}
