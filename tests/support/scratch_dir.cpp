#include "tests/support/scratch_dir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "tessel-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) dir = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (!dir.empty()) fs::remove_all(dir, ignored);
}

InScratchDir::InScratchDir() {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) previous = buffer;
    if (chdir(path().c_str()) != 0) previous.clear();
}

InScratchDir::~InScratchDir() {
    if (!previous.empty() && chdir(previous.c_str()) != 0) return;
}

void ScratchDir::Write(const std::string& name, const std::string& bytes) const {
    fs::path path = fs::path(dir) / name;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void ScratchDir::Link(const std::string& name, const std::string& target) const {
    fs::path path = fs::path(dir) / name;
    fs::create_directories(path.parent_path());
    std::error_code ignored;
    fs::create_symlink(target, path, ignored);
}

std::string ScratchDir::Read(const std::string& name) const { return ReadFileBytes(dir + "/" + name); }

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FileNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        names.push_back(entry->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
