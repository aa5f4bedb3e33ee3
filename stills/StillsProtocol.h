// StillsProtocol: what tessel-author and tessel-stills say to each other
// over the child's standard input and output. A message is a 32-bit
// little-endian length (of the rest, at least 1, at most kMaxMessageBytes),
// a kind byte and its payload:
//   to the child   'T' tracks: u32 count, then per track u32 name length,
//                      the name, u32 key count, keys (i32 row, f32 value,
//                      i32 interpolation); they replace those tracks' keys
//                  'S' the shaders were saved: build the programs again
//                  'R' a picture: u32 id, f64 row (the moment, in rows),
//                      u8 format (0 JPEG, 1 PNG)
//   from the child 'H' ready: u32 width, u32 height
//                  'P' a picture: u32 id, u8 format, the encoded bytes
//                  'E' a failure: u32 id (0 at start-up), the reason
// Every count is checked against the bytes that are really there, so a
// damaged message is refused before anything is allocated for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"

namespace stills {

constexpr uint32_t kMaxMessageBytes = 64u << 20;
constexpr uint8_t kJpeg = 0, kPng = 1;

struct Track {
    std::string name;
    std::vector<TrackKey> keys;
};

struct Message {
    char kind = 0;
    std::string payload;
};

// Whole messages as bytes (length and kind included).
std::string TracksMessage(const std::vector<Track>& tracks);
std::string ShadersMessage();
std::string RenderMessage(uint32_t id, double row, uint8_t format);
std::string ReadyMessage(uint32_t width, uint32_t height);
std::string PictureMessage(uint32_t id, uint8_t format, const std::string& bytes);
std::string FailureMessage(uint32_t id, const std::string& reason);

// Payloads back into values; false when the payload is not what its kind says.
bool ParseTracks(const std::string& payload, std::vector<Track>* tracks);
bool ParseRender(const std::string& payload, uint32_t* id, double* row, uint8_t* format);
bool ParseReady(const std::string& payload, uint32_t* width, uint32_t* height);
bool ParsePicture(const std::string& payload, uint32_t* id, uint8_t* format, std::string* bytes);
bool ParseFailure(const std::string& payload, uint32_t* id, std::string* reason);

// Writes all of `bytes` to a blocking descriptor; false when it failed
// (the reader is gone).
bool WriteAll(int fd, const std::string& bytes);
// Reads the next message from a blocking descriptor. `timeoutMs` < 0 waits
// as long as it takes; otherwise a message not complete within it is a
// failure. False with *error at the end of the stream, on a read error, a
// timeout or a length out of bounds.
bool ReadMessage(int fd, int timeoutMs, Message* message, std::string* error);

}  // namespace stills
