// RequestGuard: who may talk to the editing service. Only the person at
// this machine, who was shown the session token: a request needs the token
// (the session cookie, set by a first visit with ?token=, or an
// "Authorization: Bearer" header), a Host header naming the service on a
// loopback name (a page that rebinds its own name to 127.0.0.1 sends its
// own name), and, for state-changing requests and the push channel's
// handshake, no Origin or the service's own.
#pragma once

#include <string>
#include <vector>

struct RequestFacts {
    std::string method;
    std::string path;
    std::string query;
    const char* host = nullptr;           // header values, null when absent
    const char* origin = nullptr;
    const char* cookie = nullptr;
    const char* authorization = nullptr;
    bool pushHandshake = false;
};

struct GuardVerdict {
    int status = 0;            // 0: let it through; else the status to answer with
    std::string error;         // why, for a refusal
    std::string location;      // for a 303 after a right ?token=: where to go
    std::string cookie;        // the Set-Cookie value to send with it
};

class RequestGuard {
public:
    // `extraHost`: the address given with --listen (empty for loopback only).
    RequestGuard(std::string token, int port, std::string extraHost = "");

    GuardVerdict Check(const RequestFacts& facts) const;
    bool AllowedHost(const std::string& host) const;
    bool AllowedOrigin(const std::string& origin) const;
    bool HasToken(const RequestFacts& facts) const;
    const std::string& Token() const { return token; }

private:
    std::string token;
    std::vector<std::string> hosts;  // "name:port", lower case
};

// A 32-digit lowercase hex token from the system's random source; empty when
// there is none.
std::string NewSessionToken();
// Compares in time that does not depend on where they differ.
bool SameSecret(const std::string& a, const std::string& b);
