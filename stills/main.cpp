// tessel-stills: the show's pictures, one moment at a time, for
// tessel-author's filmstrip and hover pictures. It is started by
// tessel-author with pipes (see StillsProtocol.h), in the author's run
// folder, and runs at idle priority so that the show's own window is never
// held up; it ends when its input ends. Off screen, no display needed.
// Exit status 0 at the end of its input, 1 when the show cannot start or a
// message is not understood, 2 for a mistake on the command line.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/CommandLine.h"
#include "platform/ChildProcess.h"
#include "stills/StillsMaker.h"

int main(int argc, char** argv) {
    int width = 192, height = 108;
    std::string logPath = "StillsLog.txt";
    std::string priority = "idle";
    cli::CommandLine line("tessel-stills");
    CLI::App& app = line.App();
    app.description(
        "Renders pictures of the show for tessel-author, which starts it: requests come on\n"
        "standard input and pictures go to standard output, in a binary protocol.");
    app.add_option("--width", width, "picture width in pixels (default 192)")->type_name("N")->check(cli::WholeNumber(1, 4096));
    app.add_option("--height", height, "picture height in pixels (default 108)")->type_name("N")->check(cli::WholeNumber(1, 4096));
    app.add_option("--log", logPath, "the show's log (default StillsLog.txt)")->type_name("FILE")->check(cli::NotEmpty());
    app.add_option("--priority", priority,
                   "idle (default: only the machine's spare time) or normal (tests on a busy machine)")
        ->type_name("P")
        ->check(CLI::IsMember({"idle", "normal"}));
    if (const std::optional<int> exit = line.Parse(argc, argv)) return *exit;

    // Before any GL context: Mesa's rasterizer threads are made with it and
    // take this priority from the thread that makes them.
    if (priority == "idle" && !platform::RunAtIdlePriority())
        std::fprintf(stderr, "tessel-stills: cannot lower its priority\n");
    // The protocol keeps standard output to itself: anything else printed
    // there (a library's message) goes to standard error instead.
    const int out = dup(1);
    if (out < 0 || dup2(2, 1) < 0) {
        std::fprintf(stderr, "tessel-stills: cannot set up its output\n");
        return 1;
    }

    StillsMaker maker;
    std::string error;
    if (!maker.Start(width, height, logPath, &error)) {
        stills::WriteAll(out, stills::FailureMessage(0, error));
        std::fprintf(stderr, "tessel-stills: %s\n", error.c_str());
        return 1;
    }
    if (!stills::WriteAll(out, stills::ReadyMessage(uint32_t(width), uint32_t(height)))) return 0;
    int status = 0;
    for (;;) {
        stills::Message message;
        if (!stills::ReadMessage(0, -1, &message, &error)) break;  // the author is done
        std::string answer;
        if (!maker.Handle(message, &answer)) {
            std::fprintf(stderr, "tessel-stills: a message it does not understand (kind %d)\n", int(message.kind));
            status = 1;
            break;
        }
        if (!answer.empty() && !stills::WriteAll(out, answer)) break;
    }
    maker.Shutdown();
    return status;
}
