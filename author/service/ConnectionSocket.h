// The socket of a connection civetweb serves. civetweb's API gives no way
// to it, and the service needs it to bound what civetweb does not: the time
// a request's body may take, and the push channel's incoming frames. It is
// found among the process's descriptors by the connection's two ends (the
// peer's address and port, and our port), which name one open TCP
// connection; the worker serving the connection keeps it open meanwhile.
#pragma once

#include <string>

// The descriptor, or -1 when no open socket has these ends.
int FindConnectionSocket(const std::string& peerAddress, int peerPort, int localPort);
