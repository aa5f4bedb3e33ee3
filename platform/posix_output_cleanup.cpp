// The signal side of the output files: a fixed table of temporaries the
// handler reads without locks (a slot is published only once its name is
// written), and handlers installed once, only over default dispositions.
#include "platform/posix_output_cleanup.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

enum SlotState : int { kFree = 0, kClaimed = 1, kReady = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    bool folder = false;
    char path[PATH_MAX] = {};
};

constexpr int kSlots = 64;
Slot gSlots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The entries of a folder of plain files, read with the raw system call
// (readdir may allocate, which a handler must not).
void RemoveFolderFiles(const char* folder) {
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    alignas(8) char buffer[4096];
    for (;;) {
        const long bytes = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (bytes <= 0) break;
        for (long offset = 0; offset < bytes;) {
            // struct linux_dirent64: ino (8), off (8), reclen (2), type (1), name.
            unsigned short length;
            std::memcpy(&length, buffer + offset + 16, sizeof length);
            const char* name = buffer + offset + 19;
            if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) unlinkat(fd, name, 0);
            offset += length;
        }
    }
    close(fd);
}

void RemoveTemporaries(int signal) {
    const int savedErrno = errno;
    for (Slot& slot : gSlots) {
        if (slot.state.load(std::memory_order_acquire) != kReady) continue;
        if (slot.folder) {
            RemoveFolderFiles(slot.path);
            rmdir(slot.path);
        } else {
            unlink(slot.path);
        }
    }
    errno = savedErrno;
    // SA_RESETHAND restored the default action; SA_NODEFER lets it act now.
    raise(signal);
}

void InstallHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : kSignals) {
            struct sigaction current {};
            if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
                (current.sa_flags & SA_SIGINFO)) {
                continue;
            }
            struct sigaction action {};
            action.sa_handler = RemoveTemporaries;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESETHAND | SA_NODEFER;
            sigaction(signal, &action, nullptr);
        }
    });
}

}  // namespace

int RemoveOnSignal(const std::string& path, bool folder) {
    if (path.size() >= PATH_MAX) return -1;
    InstallHandlers();
    for (int index = 0; index < kSlots; ++index) {
        int expected = kFree;
        if (!gSlots[index].state.compare_exchange_strong(expected, kClaimed, std::memory_order_acquire)) continue;
        gSlots[index].folder = folder;
        std::memcpy(gSlots[index].path, path.c_str(), path.size() + 1);
        gSlots[index].state.store(kReady, std::memory_order_release);
        return index;
    }
    return -1;
}

void ForgetOnSignal(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    gSlots[slot].state.store(kFree, std::memory_order_release);
}

}  // namespace platform
