// A small WebSocket client for tests of the editing service's push channel:
// its own handshake headers (cookie, Origin, a wrong Host), a reader thread
// that queues text messages and answers pings, and a "stalled" mode that
// stops reading altogether, as a frozen page would.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class WebSocketClient {
public:
    // Connects to 127.0.0.1:port/api/live with "Host: 127.0.0.1:PORT" and
    // these extra header lines. `receiveBuffer` (bytes, 0: the system's) is
    // for clients meant to fall behind.
    WebSocketClient(int port, const std::vector<std::string>& headers, bool reading = true, int receiveBuffer = 0,
                    const std::string& host = "");
    // A handshake of exactly this request text (its own path and headers).
    static std::unique_ptr<WebSocketClient> Raw(int port, const std::string& request, bool reading = true);
    ~WebSocketClient();
    WebSocketClient(const WebSocketClient&) = delete;
    WebSocketClient& operator=(const WebSocketClient&) = delete;

    // The handshake's status: 101 when connected.
    int Handshake() const { return status; }
    // Waits for the next message that satisfies `match` (messages before it
    // are consumed); false when none came within `seconds` or it closed.
    bool Next(const std::function<bool(const std::string&)>& match, std::string* message, double seconds = 20);
    // True once the service closed the connection, within `seconds`.
    bool WaitClosed(double seconds);
    // Sends a close frame.
    void Close();
    // Sends these bytes as they are (frames made by hand); false when the
    // connection would not take them all.
    bool SendRaw(const std::string& bytes);

private:
    WebSocketClient() = default;
    void Open(int port, const std::string& request, bool reading, int receiveBuffer);
    void Read();
    bool SendFrame(int opcode, const std::string& payload);

    int socketFd = -1;
    int status = 0;
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<std::string> messages;
    bool closed = false;
    std::string pending;  // bytes after the handshake reply
    std::thread reader;
};
