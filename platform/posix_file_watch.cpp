// FileWatch on inotify: one non-blocking descriptor, a watch per folder for
// finished writes, new files and files renamed into it. Events for names
// longer than the buffer allows cannot occur (NAME_MAX bounds them).
#include "platform/FileWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <map>

namespace platform {

struct FileWatch::State {
    int descriptor = -1;
    std::map<int, std::string> folders;  // watch descriptor -> folder
};

FileWatch::FileWatch() : state(std::make_unique<State>()) {
    state->descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

FileWatch::~FileWatch() {
    if (state->descriptor >= 0) close(state->descriptor);
}

bool FileWatch::Watch(const std::string& folder) {
    if (state->descriptor < 0 || folder.empty()) return false;
    const int watch = inotify_add_watch(state->descriptor, folder.c_str(),
                                        IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_ONLYDIR);
    if (watch < 0) return false;
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    state->folders[watch] = path;
    return true;
}

std::vector<std::string> FileWatch::Poll() {
    std::vector<std::string> changed;
    if (state->descriptor < 0) return changed;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t got = read(state->descriptor, buffer, sizeof buffer);
        if (got <= 0) break;  // EAGAIN: nothing more waiting
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            auto folder = state->folders.find(event->wd);
            if (folder == state->folders.end() || event->len == 0 || (event->mask & IN_ISDIR)) continue;
            std::string path = folder->second + "/" + event->name;
            if (std::find(changed.begin(), changed.end(), path) == changed.end()) changed.push_back(path);
        }
    }
    return changed;
}

}  // namespace platform
