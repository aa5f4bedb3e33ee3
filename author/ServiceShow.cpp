// ServiceShow: tracks, song form and transport for the editing service.
#include "author/ServiceShow.h"

#include "author/LiveTracks.h"

void ServiceShow::RefreshTracks(const std::map<std::string, std::vector<TrackKey>>& tracks) {
    if (device) ::RefreshTracks(*device, tracks);
}

ShowPosition TransportPosition(const ::Transport& transport) {
    ShowPosition at;
    at.row = transport.Position() * kSongRowsPerBeat;
    at.playing = !transport.Paused();
    if (transport.Looping())
        at.loop = std::make_pair(transport.LoopStart() * kSongRowsPerBeat, transport.LoopEnd() * kSongRowsPerBeat);
    return at;
}

ShowPosition ServiceShow::Transport(const TransportRequest& request) {
    std::string line;
    if (request.play) line = transport->SetPaused(!*request.play);
    if (request.row) line = transport->Seek(*request.row / kSongRowsPerBeat);
    if (request.setLoop)
        line = request.loop ? transport->SetLoop(request.loop->first / kSongRowsPerBeat,
                                                 request.loop->second / kSongRowsPerBeat)
                            : transport->ClearLoop();
    if (!line.empty()) print(line);
    return TransportPosition(*transport);
}
