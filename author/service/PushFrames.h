// The push channel's incoming side: the frames a page sends on its socket,
// read by our own code rather than civetweb's, which takes a frame's
// claimed length (up to 2 GiB) as a size to allocate and waits for its
// payload without end. Pages send only small control frames (a pong, a
// close), so a message is bounded in size and a frame in the time it takes
// to arrive; past either the connection is closed, having buffered nothing
// beyond the bound. A page silent for the idle time is pinged, and one
// that answers no ping of several is closed.
//
// Frames as RFC 6455 has them from a client: masked, no extensions. Data
// messages are counted, not kept: nothing the service does uses them.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

struct PushLimits {
    size_t maxMessage = 4096;       // a message's payload, its fragments together
    int frameMilliseconds = 5000;   // from a frame's first byte to its last
    int idleMilliseconds = 5000;    // silence before a ping
    int unansweredPings = 3;        // pings in a row without a byte back
};

enum class PushEnd {
    Closed,     // the page closed (its close answered)
    Gone,       // the socket ended or failed
    TooLarge,   // a message over maxMessage (closed with 1009)
    TooSlow,    // a frame not whole in frameMilliseconds (closed with 1008)
    Malformed,  // not a client's frame (closed with 1002)
    Silent,     // no answer to the pings
    Stopped,    // `stop` was set
};

// Sends one frame (opcode and payload) on the connection; false when it failed.
using PushWrite = std::function<bool(int opcode, const std::string& payload)>;

// Reads frames from `socket` until the connection is to end, answering
// pings and the page's close; why it ended. `stop` is looked at four times
// a second.
PushEnd ReadPushFrames(int socket, const PushLimits& limits, const PushWrite& write, const std::atomic<bool>& stop);

const char* PushEndText(PushEnd end);
