// SourceKeeper: the writing and reading thread.
#include "author/service/SourceKeeper.h"

#include "platform/OutputFile.h"
#include "sync/TrackFile.h"

void SourceKeeper::Start() {
    std::lock_guard<std::mutex> hold(lock);
    if (thread.joinable()) return;
    stopping = false;
    thread = std::thread([this] { Run(); });
}

void SourceKeeper::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        wake.notify_all();
    }
    if (thread.joinable()) thread.join();
}

void SourceKeeper::DocumentChanged() {
    std::lock_guard<std::mutex> hold(lock);
    changed = true;
    wake.notify_all();
}

void SourceKeeper::FilesChanged() {
    std::lock_guard<std::mutex> hold(lock);
    filesChanged = true;
    wake.notify_all();
}

int SourceKeeper::Writes() const {
    std::lock_guard<std::mutex> hold(lock);
    return writes;
}

int SourceKeeper::Reads() const {
    std::lock_guard<std::mutex> hold(lock);
    return reads;
}

void SourceKeeper::Run() {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        if (filesChanged) {
            filesChanged = false;
            hold.unlock();
            ReadFiles();
            hold.lock();
            ++reads;
            continue;
        }
        if (changed && std::chrono::steady_clock::now() >= nextWrite) {
            changed = false;
            hold.unlock();
            Write();
            hold.lock();
            nextWrite = std::chrono::steady_clock::now() + throttle;
            continue;
        }
        if (stopping) break;
        if (changed)
            wake.wait_until(hold, nextWrite);
        else
            wake.wait(hold);
    }
    hold.unlock();
    Write();
}

void SourceKeeper::ReadFiles() {
    std::string bytes;
    // Missing for a moment while an editor replaces it: its next event brings it.
    if (!ReadWholeFile(sourcePath, &bytes)) return;
    SongForm form;
    std::vector<std::string> errors;
    const bool formOk = LoadSongForm(sectionsPath, form, errors);
    document->FilesRead(bytes, formOk ? &form : nullptr, errors);
}

void SourceKeeper::Write() {
    std::string text;
    if (!document->Unsaved(&text)) return;
    std::string onDisk;
    if (ReadWholeFile(sourcePath, &onDisk) && onDisk != document->DiskText()) {
        ReadFiles();
        if (!document->Unsaved(&text)) return;
    }
    std::string error;
    if (!platform::WriteFileAtomically(sourcePath, text, &error)) {
        document->SaveFailed(error);
        return;
    }
    document->Saved(text);
    std::lock_guard<std::mutex> hold(lock);
    ++writes;
}
