// Progress lines and the closing summary of a capture.
#include "capture/Progress.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>

std::string FormatDuration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return "--:--";
    const long long whole = std::llround(seconds);
    char text[48];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

double Progress::SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool Progress::StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

Progress::Progress(long long totalFrames, int fps, std::ostream& out, bool terminal, Clock clock)
    : total(totalFrames), fps(fps), out(out), terminal(terminal), clock(std::move(clock)), start(this->clock()),
      lastShown(start) {}

std::string Progress::Line(long long framesDone, double now) const {
    const double elapsed = now - start;
    const double rate = elapsed > 0 ? framesDone / elapsed : 0.0;
    const int percent = total > 0 ? static_cast<int>(framesDone * 100 / total) : 0;
    char text[160];
    if (rate > 0) {
        std::snprintf(text, sizeof text, "frame %lld/%lld (%d%%)  %.1f fps  %s left", framesDone, total, percent,
                      rate, FormatDuration((total - framesDone) / rate).c_str());
    } else {
        std::snprintf(text, sizeof text, "frame %lld/%lld (%d%%)  -- fps  --:-- left", framesDone, total, percent);
    }
    return text;
}

std::string Progress::Summary(long long framesDone, double now, const std::string& outputPath) const {
    const double elapsed = now - start;
    char text[160];
    std::snprintf(text, sizeof text, "%lld frames, %.3f s of video, in %s (%.1f fps average) -> ", framesDone,
                  fps > 0 ? static_cast<double>(framesDone) / fps : 0.0, FormatDuration(elapsed).c_str(),
                  elapsed > 0 ? framesDone / elapsed : 0.0);
    return text + outputPath;
}

void Progress::Update(long long framesDone) {
    const double now = clock();
    if (now - lastShown < (terminal ? 0.1 : 1.0)) return;
    lastShown = now;
    const std::string line = Line(framesDone, now);
    if (terminal) {
        // Spaces wipe what a longer earlier line left behind.
        out << '\r' << line << std::string(shownLength > line.size() ? shownLength - line.size() : 0, ' ');
        shownLength = line.size();
    } else {
        out << line << '\n';
    }
    out.flush();
}

void Progress::Finish(long long framesDone, const std::string& outputPath) {
    const double now = clock();
    if (terminal && shownLength > 0) {
        const std::string line = Line(framesDone, now);
        out << '\r' << line << std::string(shownLength > line.size() ? shownLength - line.size() : 0, ' ') << '\n';
    }
    out << Summary(framesDone, now, outputPath) << '\n';
    out.flush();
}
