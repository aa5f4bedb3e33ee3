// tessel-capture: renders the show frame by frame, off-screen and with no
// display needed, into an MP4 (H.264 + AAC) or a folder of PNG pictures.
// Run from the show folder, like the player. Exit status 0 only when the
// output is complete; a failed or interrupted capture leaves the output as
// it was (no file under the video's name, no new frames). 2 for a mistake
// on the command line.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "capture/CaptureOptions.h"
#include "capture/CaptureSession.h"
#include "capture/Progress.h"
#include "capture/SinkForOptions.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void RequestStop(int) { gStop = 1; }

int Fail(const std::string& message) {
    std::fprintf(stderr, "tessel-capture: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    cli::CommandLine line("tessel-capture");
    AddCaptureOptions(&line, &options);
    if (const std::optional<int> exit = line.Parse(argc, argv)) return *exit;
    const std::string problem = CheckCaptureOptions(options, line.App().get_option("--out")->count() > 0);
    if (!problem.empty()) return line.Refuse(problem);
    std::string error;
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGHUP, RequestStop);

    CaptureSettings settings;
    settings.width = options.width;
    settings.height = options.height;
    settings.fps = options.fps;
    settings.samples = options.samples;
    settings.from = options.fromSeconds;
    settings.to = options.toSeconds ? *options.toSeconds : -1;

    CaptureSession session;
    if (!session.Start(settings, &error)) return Fail(error);

    std::unique_ptr<IFrameSink> sink = MakeFrameSink(options);
    const std::string& output = OutputPath(options);
    if (!sink->Open(session.Format(), &error)) return Fail(error);

    Progress progress(session.FrameCount(), settings.fps, std::cerr, Progress::StderrIsTerminal());
    long long framesDone = 0;
    const bool done = session.Run(
        *sink,
        [&](int frames, int) {
            framesDone = frames;
            progress.Update(frames);
        },
        &gStop, &error);
    session.Shutdown();
    if (!done) {
        std::cerr << '\n';
        return Fail(error);
    }
    progress.Finish(framesDone, output);
    return 0;
}
