// The test WebSocket client: handshake, frames in and out (RFC 6455).
#include "tests/support/websocket_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

WebSocketClient::WebSocketClient(int port, const std::vector<std::string>& headers, bool reading, int receiveBuffer,
                                 const std::string& host) {
    std::string request = "GET /api/live HTTP/1.1\r\nHost: " + (host.empty() ? "127.0.0.1:" + std::to_string(port) : host) +
                          "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
    for (const std::string& header : headers) request += header + "\r\n";
    Open(port, request + "\r\n", reading, receiveBuffer);
}

std::unique_ptr<WebSocketClient> WebSocketClient::Raw(int port, const std::string& request, bool reading) {
    std::unique_ptr<WebSocketClient> client(new WebSocketClient);
    client->Open(port, request, reading, 0);
    return client;
}

void WebSocketClient::Open(int port, const std::string& request, bool reading, int receiveBuffer) {
    socketFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socketFd < 0) return;
    if (receiveBuffer > 0) setsockopt(socketFd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    if (send(socketFd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return;
    std::string reply;
    while (reply.find("\r\n\r\n") == std::string::npos) {
        pollfd wait{socketFd, POLLIN, 0};
        if (poll(&wait, 1, 20000) <= 0) return;
        char buffer[4096];
        const ssize_t n = recv(socketFd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, size_t(n));
    }
    std::sscanf(reply.c_str(), "HTTP/1.1 %d", &status);
    const size_t end = reply.find("\r\n\r\n");
    if (end != std::string::npos) pending = reply.substr(end + 4);
    if (status == 101 && reading) reader = std::thread([this] { Read(); });
}

WebSocketClient::~WebSocketClient() {
    if (socketFd >= 0) shutdown(socketFd, SHUT_RDWR);
    if (reader.joinable()) reader.join();
    if (socketFd >= 0) close(socketFd);
}

bool WebSocketClient::SendFrame(int opcode, const std::string& payload) {
    // Client frames are masked; a zero mask keeps the payload as it is.
    std::string frame(1, char(0x80 | opcode));
    if (payload.size() < 126) {
        frame += char(0x80 | payload.size());
    } else {
        frame += char(0x80 | 126);
        frame += char((payload.size() >> 8) & 0xFF);
        frame += char(payload.size() & 0xFF);
    }
    frame += std::string(4, '\0') + payload;
    return send(socketFd, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
}

void WebSocketClient::Read() {
    std::string data = pending;
    size_t at = 0;  // where the next frame starts in data
    std::string message;
    for (;;) {
        // Whole frames in data first.
        while (data.size() - at >= 2) {
            const int opcode = data[at] & 0x0F;
            const bool fin = (data[at] & 0x80) != 0;
            uint64_t length = static_cast<unsigned char>(data[at + 1]) & 0x7F;
            size_t header = 2;
            if (length == 126) {
                if (data.size() - at < 4) break;
                length = (uint64_t(static_cast<unsigned char>(data[at + 2])) << 8) |
                         static_cast<unsigned char>(data[at + 3]);
                header = 4;
            } else if (length == 127) {
                if (data.size() - at < 10) break;
                length = 0;
                for (size_t i = 0; i < 8; ++i) length = (length << 8) | static_cast<unsigned char>(data[at + 2 + i]);
                header = 10;
            }
            if (data.size() - at < header + length) break;
            const std::string payload = data.substr(at + header, size_t(length));
            at += header + size_t(length);
            if (opcode == 0x9) {
                SendFrame(0xA, payload);
            } else if (opcode == 0x8) {
                SendFrame(0x8, payload.substr(0, 2));
                std::lock_guard<std::mutex> hold(lock);
                closed = true;
                arrived.notify_all();
                return;
            } else if (opcode == 0x1 || opcode == 0x0) {
                message += payload;
                if (fin) {
                    std::lock_guard<std::mutex> hold(lock);
                    messages.push_back(message);
                    message.clear();
                    arrived.notify_all();
                }
            }
        }
        // What was read goes once per read, not once per frame.
        data.erase(0, at);
        at = 0;
        char buffer[65536];
        const ssize_t n = recv(socketFd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        data.append(buffer, size_t(n));
    }
    std::lock_guard<std::mutex> hold(lock);
    closed = true;
    arrived.notify_all();
}

bool WebSocketClient::Next(const std::function<bool(const std::string&)>& match, std::string* message, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        while (!messages.empty()) {
            std::string next = std::move(messages.front());
            messages.pop_front();
            if (match(next)) {
                *message = std::move(next);
                return true;
            }
        }
        if (closed) return false;
        if (arrived.wait_until(hold, deadline) == std::cv_status::timeout && messages.empty()) return false;
    }
}

bool WebSocketClient::WaitClosed(double seconds) {
    if (!reader.joinable()) {
        // Not reading: look at the socket itself.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0) return false;
            pollfd wait{socketFd, POLLIN, 0};
            if (poll(&wait, 1, static_cast<int>(left)) <= 0) continue;
            char buffer[65536];
            if (recv(socketFd, buffer, sizeof buffer, 0) <= 0) return true;
        }
    }
    std::unique_lock<std::mutex> hold(lock);
    return arrived.wait_for(hold, std::chrono::milliseconds(static_cast<long>(seconds * 1000)), [this] { return closed; });
}

void WebSocketClient::Close() { SendFrame(0x8, std::string("\x03\xe8", 2)); }

bool WebSocketClient::SendRaw(const std::string& bytes) {
    return send(socketFd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}
