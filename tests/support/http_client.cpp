// The test HTTP client: blocking sockets with poll timeouts.
#include "tests/support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <chrono>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

int Connect(int port) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(s);
        return -1;
    }
    return s;
}

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Parses what has arrived; true when it holds a whole reply.
bool Parse(const std::string& data, bool ended, HttpReply* reply) {
    const size_t headEnd = data.find("\r\n\r\n");
    if (headEnd == std::string::npos) return false;
    reply->headers.clear();
    size_t lineStart = data.find("\r\n") + 2;
    if (std::sscanf(data.c_str(), "HTTP/1.%*d %d", &reply->status) != 1) return false;
    while (lineStart < headEnd) {
        const size_t lineEnd = data.find("\r\n", lineStart);
        const std::string line = data.substr(lineStart, lineEnd - lineStart);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            reply->headers[Lower(line.substr(0, colon))] = value;
        }
        lineStart = lineEnd + 2;
    }
    const std::string body = data.substr(headEnd + 4);
    const auto length = reply->headers.find("content-length");
    if (length != reply->headers.end()) {
        const size_t want = std::strtoul(length->second.c_str(), nullptr, 10);
        if (body.size() < want) return false;
        reply->body = body.substr(0, want);
        return true;
    }
    reply->body = body;
    return ended;
}

}  // namespace

HttpReply RawHttp(int port, const std::string& request, double seconds) {
    const int s = Connect(port);
    if (s < 0) return HttpReply();
    size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = send(s, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;  // the service may answer before reading everything (413)
        sent += size_t(n);
    }
    const HttpReply reply = ReadReply(s, seconds);
    close(s);
    return reply;
}

HttpReply ReadReply(int s, double seconds) {
    HttpReply reply;
    const auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    std::string data;
    bool ended = false;
    while (!(reply.ok = Parse(data, ended, &reply)) && !ended) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd wait{s, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[65536];
        const ssize_t n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0)
            ended = true;
        else
            data.append(buffer, size_t(n));
    }
    if (!reply.ok) reply.ok = Parse(data, true, &reply) && ended;
    return reply;
}

HttpReply Http(int port, const std::string& method, const std::string& path, const std::string& body,
               const std::vector<std::string>& headers) {
    std::string request = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nConnection: close\r\n";
    if (!body.empty() || method == "POST") request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    for (const std::string& header : headers) request += header + "\r\n";
    return RawHttp(port, request + "\r\n" + body);
}

int OpenIdleConnection(int port) { return Connect(port); }

bool PeerClosed(int s, double seconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd wait{s, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[4096];
        const ssize_t n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return true;
    }
}
