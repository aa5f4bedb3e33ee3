// The bodies of POST /api/edit and POST /api/transport, read and checked:
// every way a body can be wrong gives a message naming the op (by its index)
// and the field, and nothing is half read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/synctool/SourceEdit.h"

// The most ops one edit may carry (each is applied and checked on its own).
constexpr size_t kMaxOpsPerEdit = 4096;

struct EditRequest {
    std::vector<KeyEdit> edits;
    std::optional<int64_t> revision;  // refused when stale
    std::string group;                // consecutive edits of one group: one undo step
};

// False with the message when the body is not a well-formed edit.
bool ParseEditRequest(const std::string& body, EditRequest* request, std::string* error);

struct TransportRequest {
    std::optional<bool> play;
    std::optional<double> row;
    bool setLoop = false;                             // "loop" was given
    std::optional<std::pair<double, double>> loop;    // rows; none: no loop
};

bool ParseTransportRequest(const std::string& body, TransportRequest* request, std::string* error);
