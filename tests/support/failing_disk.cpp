#include "tests/support/failing_disk.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Mounts made from here on stay inside this test process and its children.
bool PrivateMounts() {
    static const bool ok = unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return ok;
}

bool MountTmpfs(const std::string& folder, size_t bytes) {
    if (!PrivateMounts()) return false;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    return mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

void WriteFiles(const std::string& folder, const std::map<std::string, std::string>& files) {
    for (const auto& [name, bytes] : files) {
        const fs::path path = fs::path(folder) / name;
        fs::create_directories(path.parent_path());
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) continue;
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

// Sets the mode of `folder` and of every folder under it.
void ChmodFolders(const std::string& folder, mode_t mode) {
    chmod(folder.c_str(), mode);
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_directory()) chmod(it->path().c_str(), mode);
    }
}

// Blocks of 512 bytes for the shell's ulimit -f, rounded up.
std::string Blocks(size_t bytes) { return std::to_string((bytes + 511) / 512); }

}  // namespace

SmallDisk::SmallDisk(size_t bytes, const std::map<std::string, std::string>& files, size_t fileLimit)
    : folder(scratch / "disk"), limit(fileLimit ? fileLimit : bytes) {
    fs::create_directories(folder);
    mounted = MountTmpfs(folder, bytes);
    WriteFiles(folder, files);
}

SmallDisk::~SmallDisk() {
    if (mounted) umount2(folder.c_str(), MNT_DETACH);
}

std::vector<std::string> SmallDisk::Command(const std::string& program, const std::vector<std::string>& args) const {
    std::vector<std::string> command;
    if (!mounted) {
        // An ignored signal stays ignored across exec, so a write past the
        // limit fails with EFBIG instead of killing the program.
        command = {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f " + Blocks(limit) + " && exec \"$0\" \"$@\""};
    }
    command.push_back(program);
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

int SmallDisk::RunInChild(const std::function<int()>& work) const {
    const pid_t child = fork();
    if (child == 0) {
        if (!mounted) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlim_t size = static_cast<rlim_t>((limit + 511) / 512 * 512);
            struct rlimit fileSize = {size, size};
            setrlimit(RLIMIT_FSIZE, &fileSize);
        }
        _exit(work());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string SmallDisk::Reason() const { return std::strerror(mounted ? ENOSPC : EFBIG); }

ReadOnlyFolder::ReadOnlyFolder(const std::map<std::string, std::string>& files) : folder(scratch / "readonly") {
    fs::create_directories(folder);
    mounted = MountTmpfs(folder, 1 << 20);
    WriteFiles(folder, files);
    if (mounted) {
        usable = mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    } else {
        ChmodFolders(folder, 0555);
        usable = access(folder.c_str(), W_OK) != 0;
    }
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (mounted) {
        umount2(folder.c_str(), MNT_DETACH);
    } else {
        ChmodFolders(folder, 0755);
    }
}

std::string ReadOnlyFolder::Reason() const { return std::strerror(mounted ? EROFS : EACCES); }

std::vector<std::string> HiddenEntriesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& name : FileNamesIn(folder)) {
        if (!name.empty() && name[0] == '.') names.push_back(name);
    }
    return names;
}

std::map<std::string, std::string> FolderContents(const std::string& folder) {
    std::map<std::string, std::string> contents;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_regular_file()) contents[fs::relative(it->path(), folder).string()] = ReadFileBytes(it->path());
    }
    return contents;
}
