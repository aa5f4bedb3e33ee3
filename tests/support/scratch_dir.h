// A temporary folder removed with the object, for runs that read and write
// files relative to their working directory; InScratchDir also makes it the
// working directory while it lives.
#pragma once

#include <string>
#include <vector>

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return dir; }
    std::string operator/(const std::string& name) const { return dir + "/" + name; }
    // Writes a file (creating parent folders) with exactly these bytes.
    void Write(const std::string& name, const std::string& bytes) const;
    // A symbolic link at name pointing to target.
    void Link(const std::string& name, const std::string& target) const;
    std::string Read(const std::string& name) const;

private:
    std::string dir;
};

// A scratch folder that is the working directory while it lives, for code
// that reads and writes relative paths; the previous one comes back after.
class InScratchDir : public ScratchDir {
public:
    InScratchDir();
    ~InScratchDir();

private:
    std::string previous;
};

// The whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// The names of the entries in a folder, sorted; empty when it cannot be read.
std::vector<std::string> FileNamesIn(const std::string& folder);
