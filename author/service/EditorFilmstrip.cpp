// EditorService's filmstrip: started once the document has its first
// state, fed every change after it (see DocumentChanged), its pictures
// announced to the pages on the push channel.
#include "author/service/EditorService.h"

TrackKeyMap EditorService::TrackMap(const DocumentChange& change) {
    TrackKeyMap tracks;
    for (const TrackUpdate& track : change.tracks) tracks[track.name] = track.keys;
    return tracks;
}

void EditorService::StartFilmstrip(const DocumentChange& first) {
    if (!config.filmstrip) return;
    FilmstripConfig strip = *config.filmstrip;
    strip.push = [this](const std::string& message) { hub.Broadcast(message); };
    filmstrip = std::make_unique<Filmstrip>(strip);
    filmstrip->DocumentChanged(first.revision, TrackMap(first), first.song ? &*first.song : nullptr);
    filmstrip->Start();
}
