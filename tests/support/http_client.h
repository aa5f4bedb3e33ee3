// A plain HTTP/1.1 client for tests of the editing service: any request text
// (so that tests can send wrong headers on purpose) to 127.0.0.1, the reply
// read whole, with its status, headers (names in lower case) and body.
#pragma once

#include <map>
#include <string>
#include <vector>

struct HttpReply {
    bool ok = false;  // a whole reply arrived
    int status = 0;
    std::map<std::string, std::string> headers;
    std::string body;
    // A header's value ("" when absent); the name in lower case.
    std::string Header(const std::string& name) const {
        const auto found = headers.find(name);
        return found == headers.end() ? "" : found->second;
    }
};

// Sends `request` as it is and reads the reply (to the end of its body, or
// to the connection's end when it states no length), within `seconds`.
HttpReply RawHttp(int port, const std::string& request, double seconds = 30);

// Reads one reply on a connection the caller sent a request on (and may
// still be sending on), within `seconds`; the socket stays open.
HttpReply ReadReply(int socket, double seconds = 30);

// A request with "Host: 127.0.0.1:PORT", "Connection: close", a
// Content-Length for the body, and the extra header lines given.
HttpReply Http(int port, const std::string& method, const std::string& path, const std::string& body = "",
               const std::vector<std::string>& headers = {});

// An open TCP connection to 127.0.0.1:port that sends nothing; -1 on failure.
int OpenIdleConnection(int port);
// True once the peer has closed the connection (reads return 0 or fail),
// waiting at most `seconds`.
bool PeerClosed(int socket, double seconds);
