// FilmstripRoutes: the filmstrip's part of the editing service's API.
//   GET /api/filmstrip          the bars' pictures: {revision, width, height,
//                               frames: [{row, revision, ready, url}]}
//   GET /api/filmstrip/ROW.jpg  one bar's picture (the url above)
//   GET /api/frame?row=R&width=W&height=H
//                               the picture of row R (a number, within the
//                               song) at W x H (at most 1920 x 1080) now
// Anything else under those names is 400 or 404; nothing of a path or query
// goes further than a number.
#pragma once

#include <string>

#include "author/filmstrip/Filmstrip.h"
#include "author/service/EditorServer.h"

// True when `path` is one of the filmstrip's, with *reply set; `strip`
// null answers 503 (the strip is off).
bool FilmstripGet(Filmstrip* strip, const std::string& path, const std::string& query, EditorRoutes::Reply* reply);

struct FrameQuery {
    double row = 0;
    int width = 0;
    int height = 0;
};
// The query of /api/frame; false with *problem when a value is missing,
// repeated, not a number or out of bounds (other names are ignored).
bool ParseFrameQuery(const std::string& query, double songRows, FrameQuery* frame, std::string* problem);
