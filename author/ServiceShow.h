// ServiceShow: the running show as the editing service reaches it, on the
// main thread between two frames: the sync device's tracks refreshed in
// place (the demo's handles point at them), the song form the transport
// works against, the transport itself and the author's printed lines.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "author/Transport.h"
#include "author/service/EditorService.h"
#include "sync/SyncSystem.h"

class ServiceShow final : public ShowSide {
public:
    using Printer = std::function<void(const std::string& line)>;
    using Reporter = std::function<void(const std::string& line, bool ok)>;

    // `print` takes the transport's position lines, `report` the service's
    // results (reloads, compiler messages), which the overlay shows too.
    ServiceShow(SyncDevice* device, SongForm* song, ::Transport* transport, Printer print, Reporter report)
        : device(device), song(song), transport(transport), print(std::move(print)), report(std::move(report)) {}

    void RefreshTracks(const std::map<std::string, std::vector<TrackKey>>& tracks) override;
    void SetSong(const SongForm& form) override { *song = form; }
    ShowPosition Transport(const TransportRequest& request) override;
    void Print(const std::string& line, bool ok) override { report(line, ok); }

private:
    SyncDevice* device;
    SongForm* song;
    ::Transport* transport;
    Printer print;
    Reporter report;
};

// Where the transport is, for the service: row, playing, loop (rows).
ShowPosition TransportPosition(const Transport& transport);
