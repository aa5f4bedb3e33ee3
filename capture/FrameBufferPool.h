// Picture buffers handed from a sink's caller to its worker and back, so a
// long capture reuses a few frame-sized allocations instead of making one per
// frame. At most as many buffers exist as the worker's queue holds plus the
// ones in use.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class FrameBufferPool {
public:
    using Buffer = std::shared_ptr<std::vector<uint8_t>>;

    // A buffer of `bytes` bytes, reused when one is free (contents undefined).
    Buffer Take(size_t bytes) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!free.empty()) {
            Buffer buffer = std::move(free.back());
            free.pop_back();
            buffer->resize(bytes);
            return buffer;
        }
        return std::make_shared<std::vector<uint8_t>>(bytes);
    }
    void Give(Buffer buffer) {
        std::lock_guard<std::mutex> lock(mutex);
        free.push_back(std::move(buffer));
    }

private:
    std::mutex mutex;
    std::vector<Buffer> free;
};
