// Full-screen display modes through XRandR: the primary output (or the first
// connected one) switches to a width x height mode it offers; its current
// mode counts as offered. X keeps a changed mode after we exit, so the
// original mode and screen size are put back at process exit. While a mode
// is switched, SIGINT, SIGTERM and SIGHUP ask the message loop to quit so
// that the run ends in order and the mode comes back; SIGKILL cannot.
#include <X11/extensions/Xrandr.h>

#include <csignal>
#include <cstdlib>
#include <vector>

#include "platform/x11_internal.h"

namespace platform {
namespace {

struct SavedMode {
    bool saved = false;
    RRCrtc crtc = 0;
    RRMode mode = 0;
    Rotation rotation = RR_Rotate_0;
    int x = 0, y = 0;
    std::vector<RROutput> outputs;
    int width = 0, height = 0, widthMm = 0, heightMm = 0;
};

SavedMode gSaved;
bool gExitHookSet = false;
volatile std::sig_atomic_t gStopRequested = 0;

void RestoreAtExit() { x11::RestoreDisplayMode(); }

void RequestStop(int) { gStopRequested = 1; }

// Once per process, when there is a mode to give back.
void InstallExitHooks() {
    if (gExitHookSet) return;
    gExitHookSet = std::atexit(RestoreAtExit) == 0;
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// The output full screen takes over: the primary one, else the first
// connected output that drives a CRTC.
RROutput PickOutput(Display* display, Window root, XRRScreenResources* resources) {
    RROutput primary = XRRGetOutputPrimary(display, root);
    RROutput fallback = 0;
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* info = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (!info) continue;
        bool usable = info->connection == RR_Connected && info->crtc != 0;
        XRRFreeOutputInfo(info);
        if (!usable) continue;
        if (resources->outputs[i] == primary) return primary;
        if (!fallback) fallback = resources->outputs[i];
    }
    return fallback;
}

struct ModeRequest {
    Display* display;
    Window root;
    XRRScreenResources* resources;
    RRCrtc crtc;
    RRMode mode;
    Rotation rotation;
    int x, y;
    RROutput* outputs;
    int outputCount;
    int width, height, widthMm, heightMm;
    bool growFirst;
    Status status;
};

// The screen must be large enough for the CRTC at every moment: grow it
// before a larger mode, shrink it after a smaller one.
void ApplyModeRequest(void* context) {
    auto* r = static_cast<ModeRequest*>(context);
    if (r->growFirst) XRRSetScreenSize(r->display, r->root, r->width, r->height, r->widthMm, r->heightMm);
    r->status = XRRSetCrtcConfig(r->display, r->resources, r->crtc, CurrentTime, r->x, r->y, r->mode, r->rotation,
                                 r->outputs, r->outputCount);
    if (!r->growFirst && r->status == RRSetConfigSuccess)
        XRRSetScreenSize(r->display, r->root, r->width, r->height, r->widthMm, r->heightMm);
}

bool ApplyMode(Display* display, Window root, XRRScreenResources* resources, RRCrtc crtc, RRMode mode,
               Rotation rotation, int x, int y, std::vector<RROutput>& outputs, int width, int height, int widthMm,
               int heightMm) {
    XWindowAttributes current;
    XGetWindowAttributes(display, root, &current);
    ModeRequest request{display, root, resources, crtc, mode, rotation, x, y, outputs.data(),
                        static_cast<int>(outputs.size()), width, height, widthMm, heightMm,
                        width > current.width || height > current.height, RRSetConfigFailed};
    bool ok = x11::TrapErrors(display, ApplyModeRequest, &request);
    return ok && request.status == RRSetConfigSuccess;
}

}  // namespace

bool ChangeDisplayMode(int width, int height) {
    InstanceRecord* instance = GetInstance();
    if (!instance || width <= 0 || height <= 0) return false;
    Display* display = instance->display;
    int eventBase, errorBase, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        (major == 1 && minor < 2))
        return false;
    Window root = RootWindow(display, instance->screen);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    if (!resources) return false;
    bool ok = false;
    RROutput output = PickOutput(display, root, resources);
    XRROutputInfo* outputInfo = output ? XRRGetOutputInfo(display, resources, output) : nullptr;
    XRRCrtcInfo* crtcInfo = outputInfo ? XRRGetCrtcInfo(display, resources, outputInfo->crtc) : nullptr;
    if (crtcInfo) {
        if (static_cast<int>(crtcInfo->width) == width && static_cast<int>(crtcInfo->height) == height) {
            ok = true;  // already there
        } else {
            RRMode wanted = 0;
            for (int i = 0; i < outputInfo->nmode && !wanted; ++i)
                for (int j = 0; j < resources->nmode; ++j)
                    if (resources->modes[j].id == outputInfo->modes[i] &&
                        static_cast<int>(resources->modes[j].width) == width &&
                        static_cast<int>(resources->modes[j].height) == height) {
                        wanted = outputInfo->modes[i];
                        break;
                    }
            if (wanted) {
                XWindowAttributes screen;
                XGetWindowAttributes(display, root, &screen);
                const bool switchedBefore = gSaved.saved;
                if (!gSaved.saved) {
                    gSaved.saved = true;
                    gSaved.crtc = outputInfo->crtc;
                    gSaved.mode = crtcInfo->mode;
                    gSaved.rotation = crtcInfo->rotation;
                    gSaved.x = crtcInfo->x;
                    gSaved.y = crtcInfo->y;
                    gSaved.outputs.assign(crtcInfo->outputs, crtcInfo->outputs + crtcInfo->noutput);
                    gSaved.width = screen.width;
                    gSaved.height = screen.height;
                    gSaved.widthMm = DisplayWidthMM(display, instance->screen);
                    gSaved.heightMm = DisplayHeightMM(display, instance->screen);
                }
                // Keep the physical size's pixel density for the new screen size.
                int widthMm = screen.width > 0 ? gSaved.widthMm * width / gSaved.width : gSaved.widthMm;
                int heightMm = screen.height > 0 ? gSaved.heightMm * height / gSaved.height : gSaved.heightMm;
                std::vector<RROutput> outputs = {output};
                ok = ApplyMode(display, root, resources, outputInfo->crtc, wanted, crtcInfo->rotation, 0, 0, outputs,
                               width, height, widthMm, heightMm);
                if (ok) {
                    InstallExitHooks();
                } else {
                    // Either step may have gone through before the other failed:
                    // put back the output's mode and the screen size as they were.
                    std::vector<RROutput> previous(crtcInfo->outputs, crtcInfo->outputs + crtcInfo->noutput);
                    ApplyMode(display, root, resources, outputInfo->crtc, crtcInfo->mode, crtcInfo->rotation,
                              crtcInfo->x, crtcInfo->y, previous, screen.width, screen.height,
                              DisplayWidthMM(display, instance->screen), DisplayHeightMM(display, instance->screen));
                    if (!switchedBefore) gSaved = SavedMode{};
                }
            }
        }
    }
    if (crtcInfo) XRRFreeCrtcInfo(crtcInfo);
    if (outputInfo) XRRFreeOutputInfo(outputInfo);
    XRRFreeScreenResources(resources);
    return ok;
}

namespace x11 {

bool TakeStopRequest() {
    if (!gStopRequested) return false;
    gStopRequested = 0;
    return true;
}

void RestoreDisplayMode() {
    InstanceRecord* instance = CurrentInstance();
    // A dead connection takes no requests: nothing can be put back through it.
    if (!gSaved.saved || !instance || ConnectionLost()) return;
    Display* display = instance->display;
    Window root = RootWindow(display, instance->screen);
    if (XRRScreenResources* resources = XRRGetScreenResources(display, root)) {
        ApplyMode(display, root, resources, gSaved.crtc, gSaved.mode, gSaved.rotation, gSaved.x, gSaved.y,
                  gSaved.outputs, gSaved.width, gSaved.height, gSaved.widthMm, gSaved.heightMm);
        XRRFreeScreenResources(resources);
    }
    gSaved = SavedMode{};
}

}  // namespace x11
}  // namespace platform
