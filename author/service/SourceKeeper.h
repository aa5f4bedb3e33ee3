// SourceKeeper: keeps the track source file and the document in step, on a
// thread of its own so that no frame waits on the disk. It writes the
// document's text after each change (at most every `throttle`, so within a
// second; atomically, the file's mode kept), and it reads the files when the
// watcher reports a save, handing the bytes to the document, which tells a
// save of ours from one made elsewhere. Just before writing it looks at the
// file once more, so that a save from elsewhere that the watcher has not yet
// reported is taken in rather than overwritten. A failed write is retried
// on the next change. Stop writes what is still unwritten.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "author/service/ShowDocument.h"

class SourceKeeper {
public:
    SourceKeeper(ShowDocument* document, std::string sourcePath, std::string sectionsPath,
                 std::chrono::milliseconds throttle = std::chrono::milliseconds(250))
        : document(document), sourcePath(std::move(sourcePath)), sectionsPath(std::move(sectionsPath)),
          throttle(throttle) {}
    ~SourceKeeper() { Stop(); }
    SourceKeeper(const SourceKeeper&) = delete;
    SourceKeeper& operator=(const SourceKeeper&) = delete;

    void Start();
    void Stop();
    // The document changed: write it soon.
    void DocumentChanged();
    // The source or the song form was saved: read them.
    void FilesChanged();
    // Writes done so far (successful ones).
    int Writes() const;
    // Reads of the files handed to the document so far, for a caller that
    // must know a reported save has been taken in.
    int Reads() const;

private:
    void Run();
    void Write();
    void ReadFiles();

    ShowDocument* document;
    const std::string sourcePath;
    const std::string sectionsPath;
    const std::chrono::milliseconds throttle;
    mutable std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    bool changed = false;
    bool filesChanged = false;
    int writes = 0;
    int reads = 0;
    std::chrono::steady_clock::time_point nextWrite{};
    std::thread thread;
};
