// FilmstripRoutes: the three routes and the strict reading of their numbers.
#include "author/filmstrip/FilmstripRoutes.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "author/service/ShowJson.h"

namespace {

constexpr int kMaxFrameWidth = 1920, kMaxFrameHeight = 1080;
const std::string kStripPrefix = "/api/filmstrip/";

// A whole number of at most 9 digits.
bool WholeNumber(const std::string& text, long long* value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    *value = std::atoll(text.c_str());
    return true;
}

// A plain decimal: digits with at most one point, nothing else.
bool Decimal(const std::string& text, double* value) {
    if (text.empty() || text.size() > 24) return false;
    int points = 0;
    for (char c : text) {
        if (c == '.') ++points;
        else if (c < '0' || c > '9') return false;
    }
    if (points > 1 || text == ".") return false;
    errno = 0;
    *value = std::strtod(text.c_str(), nullptr);
    return errno == 0 && std::isfinite(*value);
}

EditorRoutes::Reply Error(int status, const std::string& problem) { return {status, ErrorJson(problem)}; }

}  // namespace

bool ParseFrameQuery(const std::string& query, double songRows, FrameQuery* frame, std::string* problem) {
    bool haveRow = false, haveWidth = false, haveHeight = false;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string part = query.substr(start, end - start);
        start = end + 1;
        const size_t equals = part.find('=');
        const std::string name = part.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : part.substr(equals + 1);
        long long whole = 0;
        if (name == "row") {
            if (haveRow || !Decimal(value, &frame->row) || frame->row > songRows) {
                *problem = "row must be a number from 0 to " + std::to_string(int64_t(songRows)) + ", given once";
                return false;
            }
            haveRow = true;
        } else if (name == "width" || name == "height") {
            bool& have = name == "width" ? haveWidth : haveHeight;
            const int limit = name == "width" ? kMaxFrameWidth : kMaxFrameHeight;
            if (have || !WholeNumber(value, &whole) || whole < 1 || whole > limit) {
                *problem = name + " must be a whole number from 1 to " + std::to_string(limit) + ", given once";
                return false;
            }
            (name == "width" ? frame->width : frame->height) = int(whole);
            have = true;
        }
    }
    if (!haveRow || !haveWidth || !haveHeight) {
        *problem = "/api/frame needs row, width and height";
        return false;
    }
    return true;
}

bool FilmstripGet(Filmstrip* strip, const std::string& path, const std::string& query, EditorRoutes::Reply* reply) {
    const bool list = path == "/api/filmstrip";
    const bool picture = path.compare(0, kStripPrefix.size(), kStripPrefix) == 0;
    const bool frame = path == "/api/frame";
    if (!list && !picture && !frame) return false;
    if (!strip) {
        *reply = Error(503, "the filmstrip is off (tessel-author --no-filmstrip)");
        return true;
    }
    if (list) {
        *reply = {200, strip->ListJson()};
        return true;
    }
    if (picture) {
        const std::string name = path.substr(kStripPrefix.size());
        long long row = 0;
        std::string jpeg;
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".jpg") != 0 ||
            !WholeNumber(name.substr(0, name.size() - 4), &row))
            *reply = Error(404, "no such picture: " + path);
        else if (!strip->Picture(row, &jpeg))
            *reply = Error(404, "no picture of row " + std::to_string(row) + " (yet)");
        else
            *reply = {200, std::move(jpeg), "image/jpeg"};
        return true;
    }
    FrameQuery wanted;
    std::string problem, jpeg;
    if (!ParseFrameQuery(query, strip->SongRows(), &wanted, &problem)) {
        *reply = Error(400, problem);
        return true;
    }
    const int status = strip->Frame(wanted.row, wanted.width, wanted.height, &jpeg, &problem);
    *reply = status == 200 ? EditorRoutes::Reply{200, std::move(jpeg), "image/jpeg"} : Error(status, problem);
    return true;
}
