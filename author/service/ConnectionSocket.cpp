// Finding a connection's socket through /proc/self/fd.
#include "author/service/ConnectionSocket.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>

namespace {

// The port and, when `address` is given, the address text of a socket end.
bool EndOf(const sockaddr_storage& end, int* port, std::string* address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (end.ss_family == AF_INET) {
        const auto* in4 = reinterpret_cast<const sockaddr_in*>(&end);
        *port = ntohs(in4->sin_port);
        if (address && !inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text)) return false;
    } else if (end.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&end);
        *port = ntohs(in6->sin6_port);
        if (address && !inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text)) return false;
    } else {
        return false;
    }
    if (address) *address = text;
    return true;
}

}  // namespace

int FindConnectionSocket(const std::string& peerAddress, int peerPort, int localPort) {
    DIR* descriptors = opendir("/proc/self/fd");
    if (!descriptors) return -1;
    int found = -1;
    while (dirent* entry = readdir(descriptors)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(descriptors)) continue;
        struct stat status;
        if (fstat(int(fd), &status) != 0 || !S_ISSOCK(status.st_mode)) continue;
        sockaddr_storage local{}, peer{};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        int port = 0;
        std::string address;
        if (getsockname(int(fd), reinterpret_cast<sockaddr*>(&local), &localLength) != 0 || !EndOf(local, &port, nullptr) ||
            port != localPort)
            continue;
        if (getpeername(int(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 || !EndOf(peer, &port, &address) ||
            port != peerPort || address != peerAddress)
            continue;
        found = int(fd);
        break;
    }
    closedir(descriptors);
    return found;
}
