// StillsProtocol: the messages' bytes and the descriptors' blocking reads
// and writes (EINTR retried, a deadline through poll).
#include "stills/StillsProtocol.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace stills {

namespace {

void PutU32(std::string* out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out->push_back(char((value >> shift) & 0xFF));
}

template <class T>
void PutRaw(std::string* out, T value) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "four or eight bytes");
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));  // this machine is little-endian, as the format
    out->append(reinterpret_cast<const char*>(bytes), sizeof(T));
}

// A message of `kind` with `payload`, its length in front.
std::string Framed(char kind, const std::string& payload) {
    std::string out;
    PutU32(&out, uint32_t(payload.size() + 1));
    out.push_back(kind);
    out += payload;
    return out;
}

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes(bytes) {}
    bool U32(uint32_t* value) {
        if (Left() < 4) return false;
        *value = 0;
        for (int i = 0; i < 4; ++i) *value |= uint32_t(uint8_t(bytes[at + size_t(i)])) << (8 * i);
        at += 4;
        return true;
    }
    bool U8(uint8_t* value) {
        if (Left() < 1) return false;
        *value = uint8_t(bytes[at++]);
        return true;
    }
    template <class T>
    bool Raw(T* value) {
        if (Left() < sizeof(T)) return false;
        std::memcpy(value, bytes.data() + at, sizeof(T));
        at += sizeof(T);
        return true;
    }
    bool Text(size_t length, std::string* text) {
        if (Left() < length) return false;
        text->assign(bytes, at, length);
        at += length;
        return true;
    }
    size_t Left() const { return bytes.size() - at; }

private:
    const std::string& bytes;
    size_t at = 0;
};

constexpr size_t kKeyBytes = 12;

}  // namespace

std::string TracksMessage(const std::vector<Track>& tracks) {
    std::string payload;
    PutU32(&payload, uint32_t(tracks.size()));
    for (const Track& track : tracks) {
        PutU32(&payload, uint32_t(track.name.size()));
        payload += track.name;
        PutU32(&payload, uint32_t(track.keys.size()));
        for (const TrackKey& key : track.keys) {
            PutRaw(&payload, key.row);
            PutRaw(&payload, key.value);
            PutRaw(&payload, key.type);
        }
    }
    return Framed('T', payload);
}

std::string ShadersMessage() { return Framed('S', ""); }

std::string RenderMessage(uint32_t id, double row, uint8_t format) {
    std::string payload;
    PutU32(&payload, id);
    PutRaw(&payload, row);
    payload.push_back(char(format));
    return Framed('R', payload);
}

std::string ReadyMessage(uint32_t width, uint32_t height) {
    std::string payload;
    PutU32(&payload, width);
    PutU32(&payload, height);
    return Framed('H', payload);
}

std::string PictureMessage(uint32_t id, uint8_t format, const std::string& bytes) {
    std::string payload;
    PutU32(&payload, id);
    payload.push_back(char(format));
    payload += bytes;
    return Framed('P', payload);
}

std::string FailureMessage(uint32_t id, const std::string& reason) {
    std::string payload;
    PutU32(&payload, id);
    payload += reason;
    return Framed('E', payload);
}

bool ParseTracks(const std::string& payload, std::vector<Track>* tracks) {
    Reader in(payload);
    uint32_t count = 0;
    // Each track takes at least its two counts: no more tracks than that fit.
    if (!in.U32(&count) || count > in.Left() / 8) return false;
    tracks->clear();
    tracks->reserve(count);
    for (uint32_t t = 0; t < count; ++t) {
        Track track;
        uint32_t nameLength = 0, keys = 0;
        if (!in.U32(&nameLength) || !in.Text(nameLength, &track.name) || !in.U32(&keys) ||
            keys > in.Left() / kKeyBytes)
            return false;
        track.keys.resize(keys);
        for (TrackKey& key : track.keys)
            if (!in.Raw(&key.row) || !in.Raw(&key.value) || !in.Raw(&key.type)) return false;
        tracks->push_back(std::move(track));
    }
    return in.Left() == 0;
}

bool ParseRender(const std::string& payload, uint32_t* id, double* row, uint8_t* format) {
    Reader in(payload);
    return in.U32(id) && in.Raw(row) && in.U8(format) && in.Left() == 0 && (*format == kJpeg || *format == kPng);
}

bool ParseReady(const std::string& payload, uint32_t* width, uint32_t* height) {
    Reader in(payload);
    return in.U32(width) && in.U32(height) && in.Left() == 0;
}

bool ParsePicture(const std::string& payload, uint32_t* id, uint8_t* format, std::string* bytes) {
    Reader in(payload);
    return in.U32(id) && in.U8(format) && in.Text(in.Left(), bytes);
}

bool ParseFailure(const std::string& payload, uint32_t* id, std::string* reason) {
    Reader in(payload);
    return in.U32(id) && in.Text(in.Left(), reason);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += size_t(wrote);
    }
    return true;
}

namespace {

// Fills `out` with exactly `size` bytes before `deadline` (none when not
// `timed`).
bool ReadExactly(int fd, char* out, size_t size, bool timed, std::chrono::steady_clock::time_point deadline,
                 std::string* error) {
    size_t done = 0;
    while (done < size) {
        if (timed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                *error = "no answer in time";
                return false;
            }
            pollfd wait{fd, POLLIN, 0};
            const int ready = poll(&wait, 1, int(left.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) {
                *error = std::string("cannot wait for the answer: ") + std::strerror(errno);
                return false;
            }
            if (ready == 0) continue;
        }
        const ssize_t got = read(fd, out + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            *error = std::string("cannot read: ") + std::strerror(errno);
            return false;
        }
        if (got == 0) {
            *error = "the stream ended";
            return false;
        }
        done += size_t(got);
    }
    return true;
}

}  // namespace

bool ReadMessage(int fd, int timeoutMs, Message* message, std::string* error) {
    const bool timed = timeoutMs >= 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timed ? timeoutMs : 0);
    unsigned char head[4];
    if (!ReadExactly(fd, reinterpret_cast<char*>(head), 4, timed, deadline, error)) return false;
    const uint32_t length = uint32_t(head[0]) | uint32_t(head[1]) << 8 | uint32_t(head[2]) << 16 | uint32_t(head[3]) << 24;
    if (length < 1 || length > kMaxMessageBytes) {
        *error = "a message of " + std::to_string(length) + " bytes is out of bounds";
        return false;
    }
    // Grown as the bytes come, so that a length alone claims no memory.
    std::string body;
    constexpr size_t kChunk = 1 << 20;
    while (body.size() < length) {
        const size_t at = body.size();
        const size_t part = std::min<size_t>(kChunk, length - at);
        body.resize(at + part);
        if (!ReadExactly(fd, body.data() + at, part, timed, deadline, error)) return false;
    }
    message->kind = body[0];
    message->payload.assign(body, 1, std::string::npos);
    return true;
}

}  // namespace stills
