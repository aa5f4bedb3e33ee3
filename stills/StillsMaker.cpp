// StillsMaker: tracks in place, the demo rebuilt, pictures encoded.
#include "stills/StillsMaker.h"

#include <cmath>
#include <map>

#include "author/DemoRebuild.h"
#include "author/LiveTracks.h"
#include "capture/CaptureOptions.h"
#include "stills/PictureEncoder.h"
#include "tools/songform/SongForm.h"

bool StillsMaker::Start(int wantedWidth, int wantedHeight, const std::string& logPath, std::string* error) {
    width = wantedWidth;
    height = wantedHeight;
    CaptureSettings settings;
    settings.width = width;
    settings.height = height;
    settings.logPath = logPath;
    settings.logName = "tessel-stills";
    return session.Start(settings, error);
}

double StillsMaker::RowSeconds(double row) { return row / kSongRowsPerBeat * 60.0 / kShowBeatsPerMinute; }

bool StillsMaker::Handle(const stills::Message& message, std::string* answer) {
    answer->clear();
    Engine& engine = session.ShowEngine();
    switch (message.kind) {
        case 'T': {
            std::vector<stills::Track> tracks;
            if (!stills::ParseTracks(message.payload, &tracks)) return false;
            std::map<std::string, std::vector<TrackKey>> keys;
            for (stills::Track& track : tracks) keys[track.name] = std::move(track.keys);
            if (engine.sync.device) RefreshTracks(*engine.sync.device, keys);
            return true;
        }
        case 'S': {
            std::string log;
            RebuildDemo(engine, &log);  // a failure keeps the programs the show still has
            return true;
        }
        case 'R': {
            uint32_t id = 0;
            double row = 0;
            uint8_t format = stills::kJpeg;
            if (!stills::ParseRender(message.payload, &id, &row, &format)) return false;
            std::string bytes, problem;
            if (!std::isfinite(row) || row < 0) {
                *answer = stills::FailureMessage(id, "no such row");
                return true;
            }
            if (!session.Still(RowSeconds(row), &pixels)) {
                *answer = stills::FailureMessage(id, "the frame could not be read back");
                return true;
            }
            const bool encoded = format == stills::kPng ? EncodePng(pixels, width, height, &bytes, &problem)
                                                        : EncodeJpeg(pixels, width, height, &bytes, &problem);
            *answer = encoded ? stills::PictureMessage(id, format, bytes) : stills::FailureMessage(id, problem);
            return true;
        }
        default:
            return false;
    }
}
