// RequestGuard: Host, token and Origin checks, and the session token.
#include "author/service/RequestGuard.h"

#include <cctype>
#include <cstdio>

#include "platform/Desktop.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of one cookie in a Cookie header; empty when absent.
std::string CookieValue(const std::string& header, const std::string& name) {
    size_t start = 0;
    while (start <= header.size()) {
        size_t end = header.find(';', start);
        if (end == std::string::npos) end = header.size();
        const std::string pair = Trimmed(header.substr(start, end - start));
        const size_t equals = pair.find('=');
        if (equals != std::string::npos && pair.substr(0, equals) == name) return pair.substr(equals + 1);
        start = end + 1;
    }
    return "";
}

// The value of ?token= in a query; empty when absent.
std::string QueryToken(const std::string& query) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        if (query.compare(start, 6, "token=") == 0) return query.substr(start + 6, end - start - 6);
        start = end + 1;
    }
    return "";
}

// The path to send back in a Location header: itself when it holds only
// plain path characters, else "/" (a decoded path may hold line breaks).
std::string SafeLocation(const std::string& path) {
    if (path.empty() || path[0] != '/') return "/";
    for (char c : path)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' || c == '-')) return "/";
    return path;
}

}  // namespace

bool SameSecret(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.empty()) return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string NewSessionToken() {
    unsigned char bytes[16];
    if (!platform::RandomBytes(bytes, sizeof bytes)) return "";
    std::string token;
    char digits[3];
    for (unsigned char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        token += digits;
    }
    return token;
}

RequestGuard::RequestGuard(std::string token, int port, std::string extraHost) : token(std::move(token)) {
    const std::string suffix = ":" + std::to_string(port);
    for (const char* name : {"127.0.0.1", "localhost", "[::1]"}) hosts.push_back(name + suffix);
    if (!extraHost.empty()) {
        // An IPv6 address is written in brackets in a Host header.
        const bool v6 = extraHost.find(':') != std::string::npos && extraHost.front() != '[';
        hosts.push_back(Lower(v6 ? "[" + extraHost + "]" : extraHost) + suffix);
    }
}

bool RequestGuard::AllowedHost(const std::string& host) const {
    const std::string name = Lower(host);
    for (const std::string& allowed : hosts)
        if (name == allowed) return true;
    return false;
}

bool RequestGuard::AllowedOrigin(const std::string& origin) const {
    const std::string prefix = "http://";
    return origin.compare(0, prefix.size(), prefix) == 0 && AllowedHost(origin.substr(prefix.size()));
}

bool RequestGuard::HasToken(const RequestFacts& facts) const {
    if (facts.cookie && SameSecret(CookieValue(facts.cookie, "tessel_session"), token)) return true;
    if (facts.authorization) {
        const std::string value = Trimmed(facts.authorization);
        if (Lower(value.substr(0, 7)) == "bearer " && SameSecret(Trimmed(value.substr(7)), token)) return true;
    }
    return false;
}

GuardVerdict RequestGuard::Check(const RequestFacts& facts) const {
    GuardVerdict verdict;
    if (!facts.host || !AllowedHost(Trimmed(facts.host))) {
        verdict.status = 403;
        verdict.error = "this service answers only to its own address (the Host header " +
                        (facts.host ? "'" + std::string(facts.host) + "'" : std::string("is missing")) +
                        " is not it)";
        return verdict;
    }
    const bool changesState = facts.method != "GET" && facts.method != "HEAD";
    if ((changesState || facts.pushHandshake) && facts.origin && !AllowedOrigin(Trimmed(facts.origin))) {
        verdict.status = 403;
        verdict.error = "requests from another site's pages are refused (Origin '" + std::string(facts.origin) + "')";
        return verdict;
    }
    const std::string offered = QueryToken(facts.query);
    if (facts.method == "GET" && !facts.pushHandshake && !offered.empty()) {
        if (!SameSecret(offered, token)) {
            verdict.status = 401;
            verdict.error = "wrong session token: open the address tessel-author printed";
            return verdict;
        }
        // The first visit: the token moves into a cookie and out of the address bar.
        verdict.status = 303;
        verdict.location = SafeLocation(facts.path);
        verdict.cookie = "tessel_session=" + token + "; HttpOnly; SameSite=Strict; Path=/";
        return verdict;
    }
    if (!HasToken(facts)) {
        verdict.status = 401;
        verdict.error = "no session token: open the address tessel-author printed";
        return verdict;
    }
    return verdict;
}
