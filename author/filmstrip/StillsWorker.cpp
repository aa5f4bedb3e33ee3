// StillsWorker: the thread's loop, the child's start-up handshake and one
// request and answer at a time over StillsProtocol.
#include "author/filmstrip/StillsWorker.h"

#include <vector>

#include "stills/StillsProtocol.h"

void StillsWorker::Start(int warmWidth, int warmHeight) {
    if (thread.joinable()) return;
    stopping = false;
    thread = std::thread([this, warmWidth, warmHeight] { Run(warmWidth, warmHeight); });
}

void StillsWorker::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        woken = true;
    }
    wake.notify_all();
    // A read waiting on the child ends when the child does.
    child.Kill();
    if (thread.joinable()) thread.join();
}

void StillsWorker::Wake() {
    {
        std::lock_guard<std::mutex> hold(lock);
        woken = true;
    }
    wake.notify_all();
}

void StillsWorker::SetTracks(const TrackKeyMap& changed) {
    {
        std::lock_guard<std::mutex> hold(lock);
        for (const auto& [name, keys] : changed) tracks[name] = keys;
        ++tracksVersion;
        woken = true;
    }
    wake.notify_all();
}

void StillsWorker::ShadersSaved() {
    {
        std::lock_guard<std::mutex> hold(lock);
        ++shadersVersion;
        woken = true;
    }
    wake.notify_all();
}

int StillsWorker::Starts() const {
    std::lock_guard<std::mutex> hold(lock);
    return starts;
}

void StillsWorker::Run(int warmWidth, int warmHeight) {
    if (warmWidth > 0 && warmHeight > 0) EnsureChild(warmWidth, warmHeight);
    for (;;) {
        StillsJob job;
        {
            std::unique_lock<std::mutex> hold(lock);
            wake.wait(hold, [&] { return woken || stopping; });
            if (stopping) break;
            woken = false;
        }
        // Everything wanted now, then wait for the next wake.
        while (next(&job)) {
            std::string jpeg;
            const bool ok = Render(job, &jpeg);
            job.done(ok, jpeg);
            std::lock_guard<std::mutex> hold(lock);
            if (stopping) break;
        }
    }
    EndChild();
}

void StillsWorker::EndChild() {
    childId = 0;
    child.Stop(2000);
    childWidth = childHeight = 0;
}

bool StillsWorker::EnsureChild(int width, int height) {
    if (child.Started() && width == childWidth && height == childHeight) return true;
    EndChild();
    {
        std::lock_guard<std::mutex> hold(lock);
        if (stopping) return false;
        ++starts;
    }
    std::string error;
    const std::vector<std::string> arguments = {"--width",    std::to_string(width), "--height",
                                                std::to_string(height), "--log", setup.logPath,
                                                "--priority", setup.idle ? "idle" : "normal"};
    if (!child.Start(setup.program, arguments, setup.folder, &error)) {
        if (setup.report) setup.report("filmstrip: " + error);
        return false;
    }
    stills::Message hello;
    uint32_t w = 0, h = 0;
    if (!stills::ReadMessage(child.Output(), setup.answerMilliseconds, &hello, &error) || hello.kind != 'H' ||
        !stills::ParseReady(hello.payload, &w, &h) || int(w) != width || int(h) != height) {
        if (setup.report) setup.report("filmstrip: tessel-stills did not start (see " + setup.logPath + ")");
        child.Kill();
        EndChild();
        return false;
    }
    childWidth = width;
    childHeight = height;
    childId = child.Id();
    childTracks = -1;  // a new child has the compiled tracks and the shaders on disk
    std::lock_guard<std::mutex> hold(lock);
    childShaders = shadersVersion;
    return true;
}

bool StillsWorker::Bring() {
    std::string message;
    bool shaders = false;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (childTracks != tracksVersion) {
            std::vector<stills::Track> all;
            all.reserve(tracks.size());
            for (const auto& [name, keys] : tracks) all.push_back({name, keys});
            message = stills::TracksMessage(all);
            childTracks = tracksVersion;
        }
        shaders = childShaders != shadersVersion;
        childShaders = shadersVersion;
    }
    if (!message.empty() && !stills::WriteAll(child.Input(), message)) return false;
    return !shaders || stills::WriteAll(child.Input(), stills::ShadersMessage());
}

bool StillsWorker::Render(const StillsJob& job, std::string* jpeg) {
    if (!EnsureChild(job.width, job.height)) return false;
    const uint32_t id = nextId++;
    std::string error;
    stills::Message answer;
    uint32_t answered = 0;
    uint8_t format = 0;
    if (Bring() && stills::WriteAll(child.Input(), stills::RenderMessage(id, job.row, stills::kJpeg)) &&
        stills::ReadMessage(child.Output(), setup.answerMilliseconds, &answer, &error)) {
        if (answer.kind == 'P' && stills::ParsePicture(answer.payload, &answered, &format, jpeg) && answered == id)
            return true;
        std::string reason;
        if (answer.kind == 'E' && stills::ParseFailure(answer.payload, &answered, &reason) && answered == id) {
            if (setup.report) setup.report("filmstrip: row " + std::to_string(job.row) + ": " + reason);
            return false;  // the child is fine; only this picture failed
        }
        error = "an answer out of turn";
    }
    bool quiet;
    {
        std::lock_guard<std::mutex> hold(lock);
        quiet = stopping;
    }
    if (!quiet && setup.report) setup.report("filmstrip: tessel-stills failed (" + error + "); it starts again");
    child.Kill();
    EndChild();
    return false;
}
