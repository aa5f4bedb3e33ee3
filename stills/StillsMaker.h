// StillsMaker: tessel-stills' side of the conversation. The show runs in a
// CaptureSession at one picture size; messages bring the document's tracks
// (swapped into the sync device in place), shader saves (the demo rebuilt,
// the old one kept when the new one fails) and requests for the picture of
// a row, answered with its JPEG or PNG bytes. A row's moment is its beat
// turned into seconds exactly as tessel-capture's --from BEATSb is, so the
// picture is the first frame of that capture.
#pragma once

#include <string>
#include <vector>

#include "capture/CaptureSession.h"
#include "stills/StillsProtocol.h"

class StillsMaker {
public:
    // Starts the show at width x height with this log; false with *error.
    bool Start(int width, int height, const std::string& logPath, std::string* error);
    // The answer to one message ("" for a message that needs none); false
    // when the message is not one of the protocol's (the caller ends).
    bool Handle(const stills::Message& message, std::string* answer);
    void Shutdown() { session.Shutdown(); }

    // Seconds into the song of row `row` (fractional), as --from (row/16)b.
    static double RowSeconds(double row);

private:
    CaptureSession session;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};
