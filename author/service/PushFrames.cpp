// ReadPushFrames: a bounded frame reader over poll and recv.
#include "author/service/PushFrames.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace {

using Clock = std::chrono::steady_clock;

enum Opcode { kContinuation = 0x0, kText = 0x1, kBinary = 0x2, kClose = 0x8, kPing = 0x9, kPong = 0xA };

std::string CloseCode(int code) { return {char((code >> 8) & 0xFF), char(code & 0xFF)}; }

int MillisecondsUntil(Clock::time_point when) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return int(std::max<long long>(0, std::min<long long>(left, 250)));
}

// The header of the frame at the front of `data`: its length, or 0 while
// more bytes are needed.
size_t HeaderLength(const std::string& data, uint64_t* payload) {
    if (data.size() < 2) return 0;
    const unsigned length = static_cast<unsigned char>(data[1]) & 0x7F;
    const size_t mask = (static_cast<unsigned char>(data[1]) & 0x80) ? 4 : 0;
    size_t size = 2;
    if (length == 126) size = 4;
    if (length == 127) size = 10;
    if (data.size() < size + mask) return 0;
    if (length < 126) {
        *payload = length;
    } else {
        *payload = 0;
        for (size_t i = 2; i < size; ++i) *payload = (*payload << 8) | static_cast<unsigned char>(data[i]);
    }
    return size + mask;
}

}  // namespace

const char* PushEndText(PushEnd end) {
    switch (end) {
        case PushEnd::Closed: return "closed by the page";
        case PushEnd::Gone: return "connection lost";
        case PushEnd::TooLarge: return "message too large";
        case PushEnd::TooSlow: return "frame too slow";
        case PushEnd::Malformed: return "not a WebSocket frame";
        case PushEnd::Silent: return "no answer to pings";
        case PushEnd::Stopped: return "service stopping";
    }
    return "";
}

PushEnd ReadPushFrames(int socket, const PushLimits& limits, const PushWrite& write, const std::atomic<bool>& stop) {
    std::string data;           // bytes of frames not yet taken, one frame and a read at most
    size_t messageBytes = 0;    // of the data message whose fragments are coming
    bool inMessage = false;
    Clock::time_point frameStart{};  // when the first byte of data's first frame came
    Clock::time_point heard = Clock::now();
    int pings = 0;
    auto fail = [&](PushEnd end, int code) {
        write(kClose, CloseCode(code));
        return end;
    };
    for (;;) {
        // Every whole frame in data first.
        for (;;) {
            uint64_t payload = 0;
            const size_t header = HeaderLength(data, &payload);
            if (header == 0) break;
            const unsigned first = static_cast<unsigned char>(data[0]);
            const bool fin = (first & 0x80) != 0;
            const int opcode = int(first & 0x0F);
            const bool control = (opcode & 0x8) != 0;
            const bool masked = (static_cast<unsigned char>(data[1]) & 0x80) != 0;
            if ((first & 0x70) || !masked || (control && (!fin || payload > 125)) ||
                !(opcode == kContinuation || opcode == kText || opcode == kBinary || opcode == kClose ||
                  opcode == kPing || opcode == kPong) ||
                (opcode == kContinuation) != (inMessage && !control))
                return fail(PushEnd::Malformed, 1002);
            // Decided on the header alone: nothing past the bound is waited for.
            if (!control && payload > limits.maxMessage - messageBytes) return fail(PushEnd::TooLarge, 1009);
            if (data.size() < header + payload) break;
            std::string body = data.substr(header, size_t(payload));
            for (size_t i = 0; i < body.size(); ++i) body[i] = char(body[i] ^ data[header - 4 + (i & 3)]);
            data.erase(0, header + size_t(payload));
            frameStart = Clock::now();
            if (opcode == kClose) {
                write(kClose, body.substr(0, 2));
                return PushEnd::Closed;
            }
            if (opcode == kPing && !write(kPong, body)) return PushEnd::Gone;
            if (!control) {
                messageBytes = fin ? 0 : messageBytes + body.size();
                inMessage = !fin;
            }
        }
        if (stop) return PushEnd::Stopped;
        const Clock::time_point now = Clock::now();
        if (!data.empty() && now - frameStart >= std::chrono::milliseconds(limits.frameMilliseconds))
            return fail(PushEnd::TooSlow, 1008);
        if (now - heard >= std::chrono::milliseconds(limits.idleMilliseconds)) {
            if (pings >= limits.unansweredPings) return PushEnd::Silent;
            if (!write(kPing, "")) return PushEnd::Gone;
            ++pings;
            heard = now;
        }
        const Clock::time_point wake =
            data.empty() ? heard + std::chrono::milliseconds(limits.idleMilliseconds)
                         : std::min(heard + std::chrono::milliseconds(limits.idleMilliseconds),
                                    frameStart + std::chrono::milliseconds(limits.frameMilliseconds));
        pollfd wait{socket, POLLIN, 0};
        const int ready = poll(&wait, 1, MillisecondsUntil(wake));
        if (ready < 0) return PushEnd::Gone;
        if (ready == 0) continue;
        char buffer[4096];
        const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0) return PushEnd::Gone;
        if (data.empty()) frameStart = Clock::now();
        data.append(buffer, size_t(got));
        heard = Clock::now();
        pings = 0;
    }
}
