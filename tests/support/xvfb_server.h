// A private X server (Xvfb) for one test: started on a free display number,
// ready once it has reported that number, stopped with the object.
#pragma once

#include <string>
#include <sys/types.h>

class XvfbServer {
public:
    XvfbServer(int width = 1920, int height = 1080);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return pid > 0 && !display.empty(); }
    // ":N", ready for DISPLAY.
    const std::string& name() const { return display; }
    // Sets DISPLAY in this process's environment.
    void Export() const;

private:
    pid_t pid = -1;
    std::string display;
};
