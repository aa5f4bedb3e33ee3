// Probe: the real tessel-author (its own process, on a private Xvfb with
// OpenAL's silent device, the production's show plus a track of 12,361
// keys) under hostile requests and storms, as a local page or script could
// send them. Per case it prints whether each request was refused, whether
// the document (/api/show's tracks and revision), the show (its position)
// and the source file stayed as they were, the process's RSS before, at
// its peak and after, and the times that matter. The service is expected
// to live through all of it; the last row compares RSS with the start.
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/http_client.h"
#include "tests/support/running_program.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/websocket_client.h"
#include "tests/support/xvfb_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
void Pause(double seconds) { std::this_thread::sleep_for(std::chrono::milliseconds(long(seconds * 1000))); }

long RssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// The process's RSS sampled every 10 ms while a case runs.
class RssWatch {
public:
    explicit RssWatch(pid_t pid) : pid(pid), peak(RssKb(pid)), sampler([this] {
        while (!done) {
            peak = std::max(peak.load(), RssKb(this->pid));
            Pause(0.01);
        }
    }) {}
    long Stop() {
        done = true;
        sampler.join();
        return std::max(peak.load(), RssKb(pid));
    }

private:
    pid_t pid;
    std::atomic<long> peak;
    std::atomic<bool> done{false};
    std::thread sampler;
};

struct Author {
    int port = 0;
    std::string token;
    pid_t pid = 0;
    std::string source;  // the track source's path

    std::string Bearer() const { return "Authorization: Bearer " + token; }
    std::string Cookie() const { return "Cookie: tessel_session=" + token; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port); }
    HttpReply Post(const std::string& path, const std::string& body) const {
        return Http(port, "POST", path, body, {Bearer()});
    }
    json Show() const {
        const HttpReply reply = Http(port, "GET", "/api/show", "", {Bearer()});
        return json::parse(reply.body, nullptr, false);
    }
    // False once the process has ended; how it ended is printed.
    bool Alive() const {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == 0) return true;
        std::fprintf(stderr, "service_probe: tessel-author ended (%s %d)\n", WIFSIGNALED(status) ? "signal" : "exit",
                     WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
        return false;
    }
};

// What a hostile case must leave as it was.
struct State {
    json tracks, revision, position;
    std::string file;
};

State Snapshot(const Author& author) {
    const json show = author.Show();
    State state;
    if (show.is_object()) {
        state.tracks = show["tracks"];
        state.revision = show["revision"];
        state.position = show["position"];
    }
    state.file = ReadFileBytes(author.source);
    return state;
}

struct Row {
    std::string name, refused, note;
    bool documentSame = true, showSame = true, fileSame = true, alive = true, edits = false;
    long before = 0, peak = 0, after = 0;
};

std::vector<Row> gRows;
std::string gOnly;  // --only: the cases whose names hold this

// Runs one case: `body` fills in what was refused and the notes; the rest
// is measured around it. A case that edits on purpose says so (`edits`).
void Case(const Author& author, const std::string& name, bool edits, const std::function<void(Row*)>& body) {
    if (!gOnly.empty() && name.find(gOnly) == std::string::npos) return;
    std::fprintf(stderr, "service_probe: %s ...\n", name.c_str());
    Row row;
    row.name = name;
    row.edits = edits;
    const State start = Snapshot(author);
    row.before = RssKb(author.pid);
    RssWatch watch(author.pid);
    body(&row);
    row.alive = author.Alive();
    Pause(1);  // senders and workers wind down
    row.peak = watch.Stop();
    row.after = RssKb(author.pid);
    if (row.alive) {
        const State end = Snapshot(author);
        row.documentSame = end.tracks == start.tracks && end.revision == start.revision;
        row.showSame = end.position == start.position;
        row.fileSame = end.file == start.file;
    }
    gRows.push_back(row);
}

std::string Count(int refused, int of) { return std::to_string(refused) + "/" + std::to_string(of); }

std::string Nested(size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// A masked client frame header claiming `length` bytes (mask all zero).
std::string FrameHeader(int opcode, uint64_t length) {
    std::string header(1, char(0x80 | opcode));
    header += char(0x80 | 127);
    for (int shift = 56; shift >= 0; shift -= 8) header += char((length >> shift) & 0xFF);
    return header + std::string(4, '\0');
}

// Repeats GET /api/show until `done`; the longest answer in seconds and how many came.
struct Reads {
    double longest = 0;
    int answered = 0, failed = 0;
};
std::thread ReadShowMeanwhile(const Author& author, const std::atomic<bool>& done, Reads* reads) {
    return std::thread([&author, &done, reads] {
        while (!done) {
            const Clock::time_point start = Clock::now();
            const HttpReply reply = Http(author.port, "GET", "/api/show", "", {author.Bearer()});
            reads->longest = std::max(reads->longest, Since(start));
            ++(reply.status == 200 ? reads->answered : reads->failed);
        }
    });
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", s);
    return text;
}

void Probe(const Author& author) {
    const std::string foreign = "Origin: http://127.0.0.1:" + std::to_string(author.port + 1);

    Case(author, "edit with 500 nested levels", false, [&](Row* row) {
        const HttpReply reply = author.Post(
            "/api/edit", R"({"ops":[{"op":"set","track":"x","row":0,"value":1,"interp":)" + Nested(500) + "}]}");
        row->refused = Count(reply.status == 400, 1);
        row->note = std::to_string(reply.status);
    });

    Case(author, "60 x 800 KB nested bodies", false, [&](Row* row) {
        int refused = 0;
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < 60; ++i) refused += author.Post("/api/edit", Nested(400000)).status == 400;
        row->refused = Count(refused, 60);
        row->note = Seconds(Since(start)) + " for all";
    });

    Case(author, "push channel, foreign Origin", false, [&](Row* row) {
        int refused = 0, tried = 0;
        for (const char* path : {"/api/live", "/api/live/", "/api/live/x", "/API/LIVE", "/api/live?x", "//api/live",
                                 "/api/./live", "/x/../api/live", "/api/%6cive"})
            for (const char* upgrade : {"websocket", "websocket, foo", "WebSocket", "foo, websocket"}) {
                const std::string request = std::string("GET ") + path + " HTTP/1.1\r\nHost: " + author.Host() +
                                            "\r\nUpgrade: " + upgrade +
                                            "\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                            "Sec-WebSocket-Version: 13\r\n" + author.Cookie() + "\r\n" + foreign + "\r\n\r\n";
                ++tried;
                refused += WebSocketClient::Raw(author.port, request, false)->Handshake() != 101;
            }
        row->refused = Count(refused, tried);
        row->note = "9 paths x 4 Upgrade forms";
    });

    Case(author, "odd routes, foreign Origin", false, [&](Row* row) {
        int refused = 0, tried = 0;
        for (const char* path : {"/api/edit", "/api/edit/", "//api/edit", "/api%2Fedit", "/api/./edit", "/x/../api/edit",
                                 "/API/edit", "/api/transport/", "/api/undo/"})
            for (const char* method : {"POST", "PUT", "OPTIONS"}) {
                ++tried;
                refused += Http(author.port, method, path, R"({"play":true,"ops":[]})", {author.Cookie(), foreign})
                               .status == 403;
            }
        row->refused = Count(refused, tried);
        row->note = "9 paths x POST, PUT, OPTIONS";
    });

    Case(author, "64 MiB frames from 4 pages", false, [&](Row* row) {
        std::vector<std::unique_ptr<WebSocketClient>> pages;
        std::vector<std::thread> senders;
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < 4; ++i) {
            pages.push_back(std::make_unique<WebSocketClient>(author.port, std::vector<std::string>{author.Cookie()}));
            WebSocketClient* page = pages.back().get();
            senders.emplace_back([page] {
                if (!page->SendRaw(FrameHeader(0x2, uint64_t(64) << 20))) return;
                const std::string chunk(1 << 20, 'x');
                for (int mb = 0; mb < 64 && page->SendRaw(chunk); ++mb) {}
            });
        }
        int closed = 0;
        for (auto& page : pages) closed += page->Handshake() == 101 && page->WaitClosed(30);
        const double took = Since(start);
        for (std::thread& sender : senders) sender.join();
        row->refused = Count(closed, 4);
        row->note = "closed within " + Seconds(took);
    });

    Case(author, "stalled frame (10 of 100 bytes)", false, [&](Row* row) {
        WebSocketClient page(author.port, {author.Cookie()});
        const Clock::time_point start = Clock::now();
        page.SendRaw(FrameHeader(0x1, 100) + std::string(10, 'x'));
        const bool closed = page.Handshake() == 101 && page.WaitClosed(30);
        row->refused = Count(closed, 1);
        row->note = "closed after " + Seconds(Since(start));
    });

    Case(author, "short body + half-close", false, [&](Row* row) {
        const int s = OpenIdleConnection(author.port);
        const std::string request = "POST /api/transport HTTP/1.1\r\nHost: " + author.Host() + "\r\n" + author.Bearer() +
                                    "\r\nContent-Length: 100\r\nConnection: close\r\n\r\n{\"play\":true}";
        send(s, request.data(), request.size(), MSG_NOSIGNAL);
        shutdown(s, SHUT_WR);
        const HttpReply reply = ReadReply(s);
        close(s);
        row->refused = Count(reply.status == 400, 1);
        row->note = std::to_string(reply.status);
    });

    Case(author, "slow headers (1 byte / s)", false, [&](Row* row) {
        const int s = OpenIdleConnection(author.port);
        const std::string request = "GET /api/show HTTP/1.1\r\nHost: " + author.Host() + "\r\n" + author.Bearer() +
                                    "\r\nX-Slow: " + std::string(100, 'x') + "\r\n\r\n";
        const Clock::time_point start = Clock::now();
        bool cut = false;
        for (size_t i = 0; i < request.size() && !cut; ++i) {
            cut = send(s, &request[i], 1, MSG_NOSIGNAL) != 1 || PeerClosed(s, 1);
        }
        close(s);
        row->refused = Count(cut, 1);
        row->note = "closed after " + Seconds(Since(start));
    });

    Case(author, "40 slow bodies (1 byte / 2 s)", false, [&](Row* row) {
        const std::string head = "POST /api/edit HTTP/1.1\r\nHost: " + author.Host() + "\r\n" + author.Bearer() +
                                 "\r\nContent-Length: 100000\r\n\r\n";
        std::vector<int> sockets;
        for (int i = 0; i < 40; ++i) {
            sockets.push_back(OpenIdleConnection(author.port));
            send(sockets.back(), head.data(), head.size(), MSG_NOSIGNAL);
        }
        std::atomic<bool> done{false};
        Reads reads;
        std::thread reader = ReadShowMeanwhile(author, done, &reads);
        const Clock::time_point start = Clock::now();
        std::vector<double> cut(sockets.size(), 0);
        std::vector<int> status(sockets.size(), 0);
        while (Since(start) < 30 && std::count(cut.begin(), cut.end(), 0.0) > 0) {
            for (size_t i = 0; i < sockets.size(); ++i) {
                if (cut[i] > 0) continue;
                char reply[256];
                const ssize_t got = recv(sockets[i], reply, sizeof reply, MSG_DONTWAIT);
                if (got >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                    // Answered (the status's three digits follow "HTTP/1.1 ") or closed.
                    cut[i] = Since(start);
                    if (got > 12) status[i] = std::atoi(std::string(reply + 9, 3).c_str());
                } else {
                    send(sockets[i], "[", 1, MSG_NOSIGNAL);
                }
            }
            Pause(2);
        }
        done = true;
        reader.join();
        int refused = 0;
        for (double when : cut) refused += when > 0;
        const int answered408 = int(std::count(status.begin(), status.end(), 408));
        for (int s : sockets) close(s);
        row->refused = Count(refused, 40);
        row->note = std::to_string(answered408) + " answered 408, the last cut at " +
                    Seconds(*std::max_element(cut.begin(), cut.end())) + "; /api/show " +
                    std::to_string(reads.answered) + " answered, slowest " + Seconds(reads.longest);
    });

    Case(author, "8 pages not reading, 90 edits", true, [&](Row* row) {
        // Eight is as many pages as the service takes at once.
        std::vector<std::unique_ptr<WebSocketClient>> stalled;
        for (int i = 0; i < 8; ++i)
            stalled.push_back(std::make_unique<WebSocketClient>(author.port, std::vector<std::string>{author.Cookie()},
                                                                false, 4096));
        int connected = 0, edits = 0;
        for (auto& page : stalled) connected += page->Handshake() == 101;
        const Clock::time_point start = Clock::now();
        int64_t revision = 0;
        for (int i = 0; i < 90; ++i) {
            const HttpReply reply = author.Post(
                "/api/edit", R"({"ops":[{"op":"set","track":"Probe Load","row":0,"value":)" + std::to_string(i) + "}]}");
            const json answer = json::parse(reply.body, nullptr, false);
            if (reply.status != 200 || !answer.is_object()) break;
            revision = answer["revision"];
            ++edits;
        }
        const double took = Since(start);
        int closed = 0;
        for (auto& page : stalled) closed += page->WaitClosed(30);
        stalled.clear();
        // A page that comes back is told the document's revision.
        WebSocketClient again(author.port, {author.Cookie()});
        std::string hello;
        const bool back = again.Next([](const std::string& m) { return m.find("hello") != std::string::npos; }, &hello) &&
                          json::parse(hello, nullptr, false).value("revision", int64_t(-1)) == revision;
        row->refused = Count(closed, connected) + " dropped";
        row->note = std::to_string(edits) + " edits in " + Seconds(took) + "; a page reconnecting " +
                    (back ? "is up to date" : "FAILED");
    });

    Case(author, "4096-op edit on new rows of Flash", true, [&](Row* row) {
        std::set<int64_t> taken;
        const json show = author.Show();
        for (const json& track : show["tracks"])
            if (track["name"] == "Flash")
                for (const json& key : track["keys"]) taken.insert(key["row"].get<int64_t>());
        json ops = json::array();
        for (int64_t r = 1; ops.size() < 4096; ++r)
            if (!taken.count(r)) ops.push_back({{"op", "set"}, {"track", "Flash"}, {"row", r}, {"value", 0.25}});
        std::atomic<bool> done{false};
        Reads reads;
        std::thread reader = ReadShowMeanwhile(author, done, &reads);
        Pause(0.2);
        const Clock::time_point start = Clock::now();
        const HttpReply reply = author.Post("/api/edit", json({{"ops", ops}}).dump());
        const double took = Since(start);
        Pause(0.2);
        done = true;
        reader.join();
        row->refused = reply.status == 200 ? "taken" : "status " + std::to_string(reply.status);
        row->note = "answered in " + Seconds(took) + "; /api/show " + std::to_string(reads.answered) +
                    " answered, slowest " + Seconds(reads.longest);
        author.Post("/api/undo", "");
    });

    Case(author, "FLT_MAX shown, sent back", true, [&](Row* row) {
        author.Post("/api/edit", R"({"ops":[{"op":"set","track":"Probe Load","row":1,"value":3.4028234663852886e+38}]})");
        json shown;
        const json show = author.Show();
        for (const json& track : show["tracks"])
            if (track["name"] == "Probe Load") shown = track["keys"][1];
        const HttpReply back = author.Post(
            "/api/edit", json({{"ops", {{{"op", "set"}, {"track", "Probe Load"}, {"row", 1}, {"value", shown["value"]}}}}}).dump());
        row->refused = back.status == 200 ? "taken" : "refused";
        row->note = "shown as " + shown["value"].dump();
        author.Post("/api/undo", "");
    });

    Case(author, "revisions 2^63, -1, 1.5", false, [&](Row* row) {
        int refused = 0;
        for (const char* revision : {"9223372036854775808", "-1", "1.5"})
            refused += author.Post("/api/edit", std::string(R"({"ops":[{"op":"delete","track":"Flash","row":0}],"revision":)") +
                                                    revision + "}")
                           .status == 400;
        row->refused = Count(refused, 3);
    });
}

}  // namespace

int main(int argc, char** argv) {
    const std::string usage =
        "usage: service_probe [--only TEXT]\nRuns tessel-author from the build on a private Xvfb and probes its editing "
        "service with hostile requests and storms; prints a table. --only runs the cases whose names hold TEXT.\n";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::printf("%s", usage.c_str());
            return 0;
        }
        if (arg == "--only" && i + 1 < argc) {
            gOnly = argv[++i];
            continue;
        }
        std::fprintf(stderr, "service_probe: unknown argument %s\n%s", arg.c_str(), usage.c_str());
        return 2;
    }
    XvfbServer server(1024, 768);
    if (!server.ok()) {
        std::fprintf(stderr, "service_probe: no Xvfb\n");
        return 1;
    }
    ScratchDir show, work;
    for (const char* folder : {"Audio", "Textures", "sync"}) show.Link(folder, std::string(TESSEL_SHOW_DIR) + "/" + folder);
    show.Write("Config.txt", "ScreenWidth = 640;\nScreenHeight = 360;\nIsFullScreen = 0;\nFSAA = 0;\n");
    // The production's show and a long track: each change of it is a message of about 500 KB.
    std::string source = ReadFileBytes(std::string(TESSEL_SOURCE_TREE) + "/production/show.sync") + "\ntrack Probe Load\n";
    for (int row = 0; row < 12361; ++row) source += "  " + std::to_string(row) + "  0.123456\n";
    work.Write("show.sync", source);

    RunningProgram program(TESSEL_AUTHOR,
                           {"--sync", work / "show.sync", "--sections",
                            std::string(TESSEL_SOURCE_TREE) + "/production/song_sections.txt", "--shaders",
                            std::string(TESSEL_SOURCE_TREE) + "/data/Shaders", "--port", "0"},
                           show.path(), {{"DISPLAY", server.name()}, {"ALSOFT_DRIVERS", "null"}});
    const int at = program.WaitForLine([](const std::string& l) { return l.rfind("editor: ", 0) == 0; }, 0, 120);
    Author author;
    if (at < 0 || std::sscanf(program.Lines()[size_t(at)].c_str(), "editor: http://127.0.0.1:%d/", &author.port) != 1) {
        std::fprintf(stderr, "service_probe: tessel-author did not start: %s\n", program.ErrorText().c_str());
        return 1;
    }
    const std::string line = program.Lines()[size_t(at)];
    author.token = line.substr(line.find("token=") + 6);
    author.pid = program.id();
    author.source = work / "show.sync";
    // Paused at a fixed row, so that the show's position is a thing to compare.
    for (int tries = 0; author.Post("/api/transport", R"({"play":false,"row":0})").status != 200; ++tries) {
        if (tries == 60) {
            std::fprintf(stderr, "service_probe: the service never answered\n");
            return 1;
        }
        Pause(0.5);
    }
    Pause(2);  // the first frames, the song loaded
    const long start = RssKb(author.pid);
    Probe(author);
    const long end = RssKb(author.pid);
    const bool alive = author.Alive();

    std::printf("tessel-author (its own process, Mesa llvmpipe, silent sound), the production's show and a track of "
                "12,361 keys, paused\n\n");
    std::printf("%-34s %-11s %-5s %-5s %-5s %-5s %9s %9s %9s  %s\n", "case", "refused", "doc", "show", "file", "alive",
                "RSS MiB", "peak", "after", "notes");
    auto same = [](bool yes, bool edits) { return edits ? "edit" : yes ? "same" : "CHANGED"; };
    for (const Row& row : gRows)
        std::printf("%-34s %-11s %-5s %-5s %-5s %-5s %9.1f %9.1f %9.1f  %s\n", row.name.c_str(), row.refused.c_str(),
                    same(row.documentSame, row.edits), same(row.showSame, false), same(row.fileSame, row.edits),
                    row.alive ? "yes" : "NO", row.before / 1024.0, row.peak / 1024.0, row.after / 1024.0,
                    row.note.c_str());
    std::printf("\nRSS at the start %.1f MiB, after every case %.1f MiB (%+.1f %%)\n", start / 1024.0, end / 1024.0,
                100.0 * (double(end) / double(start) - 1));
    std::printf("(doc: /api/show's tracks and revision; show: its position; \"edit\": the case edits on purpose,\n"
                " and undoes what it did where it can; what stays is mostly the undo history, which keeps the whole\n"
                " source, %zu KB here, per step)\n",
                ReadFileBytes(author.source).size() / 1024);
    kill(author.pid, SIGTERM);
    program.Wait(30);
    return alive ? 0 : 1;
}
