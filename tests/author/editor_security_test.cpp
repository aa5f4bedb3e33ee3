// Who may use the editing service, against the real service on a loopback
// port: the session token (cookie or bearer), the Host header (a page that
// rebinds its own name to 127.0.0.1), the Origin of state-changing requests
// and of the push channel's handshake, no CORS headers ever, files only from
// memory whatever the path says, bodies and connections bounded.
#include <gtest/gtest.h>

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "tests/author/service_harness.h"
#include "tests/support/player_run.h"

namespace {

const char kSource[] = "track Fade\n  0 0\n";
const char kEdit[] = R"({"ops":[{"op":"set","track":"Fade","row":16,"value":1}]})";

std::string Host(int port) { return "127.0.0.1:" + std::to_string(port); }

// A request with exactly these header lines (no Host unless given).
HttpReply Request(int port, const std::string& method, const std::string& path, const std::vector<std::string>& headers,
                  const std::string& body = "") {
    std::string request = method + " " + path + " HTTP/1.1\r\nConnection: close\r\n";
    for (const std::string& header : headers) request += header + "\r\n";
    if (method == "POST") request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return RawHttp(port, request + "\r\n" + body);
}

size_t Threads() {
    size_t count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks))
            if (entry->d_name[0] != '.') ++count;
        closedir(tasks);
    }
    return count;
}

}  // namespace

TEST(EditorSecurity, EveryRequestNeedsTheTokenAndTheFirstVisitTurnsItIntoACookie) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    const int port = service.Port();
    const std::string host = "Host: " + Host(port);
    const std::string wrong(32, '0');
    struct Case {
        std::string method, path;
        std::vector<std::string> headers;
    } refused[] = {
        {"GET", "/api/show", {host}},
        {"GET", "/", {host}},
        {"GET", "/index.html", {host}},
        {"POST", "/api/edit", {host}},
        {"GET", "/api/show", {host, "Authorization: Bearer " + wrong}},
        {"GET", "/api/show", {host, "Cookie: tessel_session=" + wrong}},
        {"GET", "/api/show", {host, "Cookie: other=" + service.Token()}},
        {"GET", "/api/show", {host, "Authorization: Basic " + service.Token()}},
        {"GET", "/?token=" + wrong, {host}},
        {"GET", "/api/show?token=" + service.Token().substr(1), {host}},
    };
    for (const Case& c : refused) {
        const HttpReply reply = Request(port, c.method, c.path, c.headers, c.method == "POST" ? kEdit : "");
        EXPECT_EQ(reply.status, 401) << c.path << " " << ::testing::PrintToString(c.headers);
        EXPECT_NE(Field(reply.body, "error"), "") << reply.body;
    }
    EXPECT_EQ(WebSocketClient(port, {}).Handshake(), 401);
    EXPECT_EQ(WebSocketClient(port, {"Cookie: tessel_session=" + wrong}).Handshake(), 401);

    const HttpReply visit = Request(port, "GET", "/?token=" + service.Token(), {host});
    EXPECT_EQ(visit.status, 303);
    EXPECT_EQ(visit.Header("location"), "/");
    EXPECT_EQ(visit.Header("set-cookie"), "tessel_session=" + service.Token() + "; HttpOnly; SameSite=Strict; Path=/");
    const HttpReply withCookie = Request(port, "GET", "/api/show", {host, "Cookie: a=b; tessel_session=" + service.Token()});
    EXPECT_EQ(withCookie.status, 200);
    EXPECT_EQ(Request(port, "GET", "/api/show", {host, "Authorization: Bearer " + service.Token()}).status, 200);
    EXPECT_EQ(service.SourceFile(), kSource) << "the refused edit changed nothing";
}

TEST(EditorSecurity, OnlyTheServicesOwnHostNamesAreAnswered) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    const int port = service.Port();
    const std::string bearer = service.Bearer();
    for (const std::string& host :
         {"evil.example:" + std::to_string(port), "127.0.0.1:" + std::to_string(port + 1), std::string("127.0.0.1"),
          "127.0.0.1.evil.example:" + std::to_string(port), std::string("")}) {
        std::vector<std::string> headers{bearer};
        if (!host.empty()) headers.push_back("Host: " + host);
        const HttpReply reply = Request(port, "GET", "/api/show", headers);
        EXPECT_EQ(reply.status, 403) << host;
        EXPECT_NE(Field(reply.body, "error").find("Host"), std::string::npos) << reply.body;
        EXPECT_EQ(Request(port, "POST", "/api/edit", headers, kEdit).status, 403) << host;
    }
    EXPECT_EQ(WebSocketClient(port, {"Cookie: tessel_session=" + service.Token()}, true, 0, "evil.example:1").Handshake(),
              403);
    for (const char* host : {"127.0.0.1:", "localhost:", "LOCALHOST:", "[::1]:"})
        EXPECT_EQ(Request(port, "GET", "/api/show", {bearer, "Host: " + std::string(host) + std::to_string(port)}).status, 200)
            << host;
    EXPECT_EQ(service.SourceFile(), kSource);
}

TEST(EditorSecurity, AForeignOriginMayNotChangeAnythingNorOpenThePushChannel) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    const int port = service.Port();
    const std::string host = "Host: " + Host(port);
    const std::string cookie = "Cookie: tessel_session=" + service.Token();
    for (const char* origin : {"http://evil.example", "null", "https://127.0.0.1:1", "http://127.0.0.1"}) {
        for (const char* path : {"/api/edit", "/api/undo", "/api/transport"}) {
            const HttpReply reply = Request(port, "POST", path, {host, cookie, std::string("Origin: ") + origin}, kEdit);
            EXPECT_EQ(reply.status, 403) << origin << " " << path;
            EXPECT_NE(Field(reply.body, "error").find("Origin"), std::string::npos);
        }
        EXPECT_EQ(WebSocketClient(port, {cookie, std::string("Origin: ") + origin}).Handshake(), 403) << origin;
    }
    EXPECT_EQ(service.SourceFile(), kSource);
    EXPECT_EQ(nlohmann::json::parse(service.Get("/api/show").body)["revision"], 1);

    // The service's own origin, or none (a script), may.
    EXPECT_EQ(Request(port, "POST", "/api/edit", {host, cookie, "Origin: http://" + Host(port)}, kEdit).status, 200);
    EXPECT_EQ(Request(port, "POST", "/api/undo", {host, cookie}).status, 200);
    EXPECT_EQ(WebSocketClient(port, {cookie, "Origin: http://localhost:" + std::to_string(port)}).Handshake(), 101);
}

TEST(EditorSecurity, NoCorsHeaderIsEverSent) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    const int port = service.Port();
    const std::string host = "Host: " + Host(port);
    const std::string origin = "Origin: http://evil.example";
    const HttpReply replies[] = {
        Request(port, "OPTIONS", "/api/edit",
                {host, origin, "Access-Control-Request-Method: POST", "Access-Control-Request-Headers: content-type"}),
        Request(port, "GET", "/api/show", {host, origin, service.Bearer()}),
        Request(port, "GET", "/api/show", {host, origin}),
        Request(port, "POST", "/api/edit", {host, origin, service.Bearer()}, kEdit),
    };
    for (const HttpReply& reply : replies) {
        EXPECT_TRUE(reply.ok);
        for (const auto& [name, value] : reply.headers)
            EXPECT_EQ(name.rfind("access-control-", 0), std::string::npos) << name;
    }
}

TEST(EditorSecurity, FilesComeFromMemoryAndNoPathReachesTheDisk) {
    ScratchDir outside;
    outside.Write("secret.txt", "the secret");
    ServiceHarness none(kSource);
    ASSERT_TRUE(none.Started()) << none.error;
    EXPECT_EQ(none.Get("/").status, 200);
    EXPECT_NE(none.Get("/").body.find("The editor's files are missing"), std::string::npos);

    ScratchDir page;
    page.Write("index.html", "<p>page</p>");
    page.Write("js/api.js", "export {};");
    page.Write("style.css", "p{}");
    page.Write("notes.txt", "not served");
    page.Write(".hidden.js", "hidden");
    ServiceHarness withFiles(kSource, [&](EditorConfig& config) { config.editorFolder = page.path(); });
    ASSERT_TRUE(withFiles.Started()) << withFiles.error;
    const HttpReply index = withFiles.Get("/");
    EXPECT_EQ(index.status, 200);
    EXPECT_EQ(index.body, "<p>page</p>");
    EXPECT_EQ(index.Header("content-type"), "text/html; charset=utf-8");
    EXPECT_EQ(withFiles.Get("/js/api.js").Header("content-type"), "text/javascript; charset=utf-8");
    EXPECT_EQ(withFiles.Get("/style.css").Header("content-type"), "text/css; charset=utf-8");
    EXPECT_EQ(withFiles.Get("/notes.txt").status, 404) << "only the known types";
    EXPECT_EQ(withFiles.Get("/.hidden.js").status, 404);

    const std::string secret = outside / "secret.txt";
    for (const std::string& path :
         {std::string("/../secret.txt"), std::string("/%2e%2e/secret.txt"), std::string("/js/..%2f..%2fsecret.txt"),
          std::string("/js/../../secret.txt"), "/" + secret, "/%2F" + secret.substr(1), std::string("//etc/passwd"),
          std::string("/..%5c..%5cetc%5cpasswd"), std::string("/%2e%2e%2f%2e%2e%2f%2e%2e%2fetc%2fpasswd"),
          std::string("/js/../index.html/.")}) {
        const HttpReply reply = withFiles.Get(path);
        EXPECT_NE(reply.status, 200) << path;
        EXPECT_EQ(reply.body.find("the secret"), std::string::npos) << path;
        EXPECT_EQ(reply.body.find("root:"), std::string::npos) << path;
    }
    // Read once at the start: a file put there later is not served.
    page.Write("late.js", "late");
    EXPECT_EQ(withFiles.Get("/late.js").status, 404);
}

TEST(EditorSecurity, BodiesOverTheLimitAreRefusedUnread) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    const int port = service.Port();
    const std::string big(1 << 20 | 1, ' ');
    HttpReply stated = Request(port, "POST", "/api/edit", {"Host: " + Host(port), service.Bearer()}, big);
    EXPECT_EQ(stated.status, 413);
    // Chunked, with no length stated up front.
    std::string chunked = "POST /api/edit HTTP/1.1\r\nHost: " + Host(port) + "\r\n" + service.Bearer() +
                          "\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    for (int i = 0; i < 20; ++i) chunked += "10000\r\n" + std::string(0x10000, ' ') + "\r\n";
    chunked += "0\r\n\r\n";
    const HttpReply streamed = RawHttp(port, chunked);
    EXPECT_EQ(streamed.status, 413);
    EXPECT_EQ(Field(streamed.body, "error"), "the body is over 1048576 bytes");
    EXPECT_EQ(service.SourceFile(), kSource);
    EXPECT_EQ(service.Get("/api/show").status, 200) << "and the service goes on";
}

TEST(EditorSecurity, IdleConnectionsTimeOutAndTheServiceKeepsAnswering) {
    ServiceHarness service(kSource, [](EditorConfig& config) {
        config.server.idleMilliseconds = 500;
        config.server.threads = 8;
        config.server.maxPushClients = 3;
    });
    ASSERT_TRUE(service.Started()) << service.error;
    const size_t threads = Threads();
    // Fewer than the workers: answered meanwhile.
    std::vector<int> idle;
    for (int i = 0; i < 5; ++i) idle.push_back(OpenIdleConnection(service.Port()));
    EXPECT_EQ(service.Get("/api/show").status, 200);
    for (int socket : idle) {
        EXPECT_TRUE(PeerClosed(socket, 30)) << "an idle connection is closed by the service";
        close(socket);
    }
    // A flood far over the bound: it holds no more threads than the bound,
    // and once the idle ones time out the service answers again.
    idle.clear();
    for (int i = 0; i < 40; ++i) idle.push_back(OpenIdleConnection(service.Port()));
    EXPECT_LE(Threads(), threads + 1) << "no thread per connection beyond the bound";
    EXPECT_TRUE(WaitUntil([&] { return Http(service.Port(), "GET", "/api/show", "", {service.Bearer()}).status == 200; }, 60));
    for (int socket : idle)
        if (socket >= 0) close(socket);
    // The push channel has its own bound.
    std::vector<std::unique_ptr<WebSocketClient>> pages;
    for (int i = 0; i < 3; ++i) {
        pages.push_back(service.Live());
        EXPECT_EQ(pages.back()->Handshake(), 101);
    }
    ASSERT_TRUE(WaitUntil([&] { return service.service.Hub().Clients() == 3; }, 10));
    EXPECT_EQ(service.Live()->Handshake(), 503);
    EXPECT_EQ(service.Get("/api/show").status, 200) << "workers are left for requests";
}

TEST(EditorSecurity, TheServiceWritesOnlyItsSource) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    for (int row = 1; row < 20; ++row)
        ASSERT_EQ(service.Post("/api/edit", R"({"ops":[{"op":"set","track":"Fade","row":)" + std::to_string(row) +
                                                R"(,"value":1}]})")
                      .status,
                  200);
    ASSERT_TRUE(WaitUntil([&] { return service.SourceFile().find("  1:3 ") != std::string::npos; }, 10))
        << service.SourceFile();
    service.service.Stop();
    EXPECT_EQ(FileNamesIn(service.dir.path()), (std::vector<std::string>{"show.sync", "song.txt"}));
}

TEST(EditorSecurity, EveryFormCivetwebRoutesToThePushChannelIsCheckedAsItsHandshake) {
    ServiceHarness service(kSource);
    ASSERT_TRUE(service.Started()) << service.error;
    const int port = service.Port();
    const std::string cookie = "Cookie: tessel_session=" + service.Token();
    auto handshake = [&](const std::string& path, const std::string& upgrade, const std::string& connection,
                         const std::string& origin) {
        return "GET " + path + " HTTP/1.1\r\nHost: " + Host(port) + "\r\nUpgrade: " + upgrade +
               "\r\nConnection: " + connection +
               "\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n" + cookie +
               "\r\nOrigin: " + origin + "\r\n\r\n";
    };
    const std::string evil = "http://127.0.0.1:" + std::to_string(port + 1);
    for (const char* path : {"/api/live", "/api/live/", "/api/live/x", "/API/LIVE", "/api/livex", "/api/live?x=1",
                             "/api/%6cive", "/api/./live", "/x/../api/live", "//api/live"})
        for (const char* upgrade : {"websocket", "websocket, foo", "WebSocket", "foo, websocket"})
            for (const char* connection : {"Upgrade", "keep-alive, upgrade"})
                EXPECT_EQ(WebSocketClient::Raw(port, handshake(path, upgrade, connection, evil))->Handshake(), 403)
                    << path << " / " << upgrade << " / " << connection;
    // Those forms do reach the channel from the service's own page.
    EXPECT_EQ(WebSocketClient::Raw(port, handshake("/api/live/x", "websocket, foo", "Upgrade", "http://" + Host(port)))
                  ->Handshake(),
              101);

    // Whatever reaches the other handlers is checked for what they do.
    for (const char* path : {"/api/edit/", "//api/edit", "/api%2Fedit", "/api/./edit", "/x/../api/edit", "/API/edit"})
        EXPECT_EQ(Request(port, "POST", path, {"Host: " + Host(port), cookie, "Origin: " + evil}, kEdit).status, 403)
            << path;
    for (const char* method : {"PUT", "DELETE", "PATCH", "OPTIONS"})
        EXPECT_EQ(Request(port, method, "/api/edit", {"Host: " + Host(port), cookie, "Origin: " + evil}).status, 403)
            << method;
    const HttpReply head = Request(port, "HEAD", "/api/show", {"Host: " + Host(port), cookie, "Origin: " + evil});
    EXPECT_EQ(head.body, "") << "a read answers no body to HEAD";
    EXPECT_EQ(service.SourceFile(), kSource);
    EXPECT_EQ(nlohmann::json::parse(service.Get("/api/show").body)["revision"], 1);
}

namespace {

// A masked client frame header claiming `length` bytes (the mask all zero).
std::string FrameHeader(int opcode, uint64_t length, bool fin = true) {
    std::string header(1, char((fin ? 0x80 : 0) | opcode));
    if (length < 126) {
        header += char(0x80 | length);
    } else if (length < 65536) {
        header += char(0x80 | 126);
        for (int shift = 8; shift >= 0; shift -= 8) header += char((length >> shift) & 0xFF);
    } else {
        header += char(0x80 | 127);
        for (int shift = 56; shift >= 0; shift -= 8) header += char((length >> shift) & 0xFF);
    }
    return header + std::string(4, '\0');
}

}  // namespace

TEST(EditorSecurity, APagesFramesAreBoundedInSizeAndInTimeAndClosedPastEither) {
    ServiceHarness service(kSource);  // an idle time of 2 s: a frame may take that long
    ASSERT_TRUE(service.Started()) << service.error;
    auto huge = service.Live(), large = service.Live(), stalled = service.Live(), fragments = service.Live(),
         fine = service.Live();
    for (auto* page : {&huge, &large, &stalled, &fragments, &fine}) ASSERT_EQ((*page)->Handshake(), 101);
    // Closed on the header alone: nothing of the 2 GiB is waited for.
    ASSERT_TRUE(huge->SendRaw(FrameHeader(0x1, uint64_t(1) << 31)));
    ASSERT_TRUE(large->SendRaw(FrameHeader(0x2, 4097) + std::string(4097, 'x')));
    ASSERT_TRUE(stalled->SendRaw(FrameHeader(0x1, 100) + std::string(10, 'x')));
    ASSERT_TRUE(fragments->SendRaw(FrameHeader(0x1, 3000, false) + std::string(3000, 'x') + FrameHeader(0x0, 3000) +
                                   std::string(3000, 'x')));
    ASSERT_TRUE(fine->SendRaw(FrameHeader(0x1, 3000) + std::string(3000, 'x') + FrameHeader(0x9, 4) + "ping"));
    for (auto* page : {&huge, &large, &stalled, &fragments})
        EXPECT_TRUE((*page)->WaitClosed(30)) << "closed past the bound";
    EXPECT_TRUE(WaitUntil([&] { return service.service.Hub().Clients() == 1; }, 30));
    // A page sending small messages goes on getting every change.
    ASSERT_EQ(service.Post("/api/edit", kEdit).status, 200);
    std::string message;
    EXPECT_TRUE(fine->Next([](const std::string& m) { return Field(m, "type") == "document"; }, &message));
    fine->Close();
    EXPECT_TRUE(fine->WaitClosed(30)) << "its close is answered";
}

TEST(EditorSecurity, ABodyIsRefusedWhenShorterThanItSaidOrNotWholeInTime) {
    ServiceHarness service(kSource);  // 2 s for a request
    ASSERT_TRUE(service.Started()) << service.error;
    const int port = service.Port();
    const std::string head = "POST /api/edit HTTP/1.1\r\nHost: " + Host(port) + "\r\n" + service.Bearer() +
                             "\r\nConnection: close\r\n";
    // Shorter than it said, then the sending side closed.
    int s = OpenIdleConnection(port);
    ASSERT_GE(s, 0);
    const std::string shortRequest = head + "Content-Length: 100\r\n\r\n" + kEdit;
    ASSERT_EQ(send(s, shortRequest.data(), shortRequest.size(), MSG_NOSIGNAL), ssize_t(shortRequest.size()));
    shutdown(s, SHUT_WR);
    HttpReply reply = ReadReply(s);
    close(s);
    EXPECT_EQ(reply.status, 400) << reply.body;
    EXPECT_NE(Field(reply.body, "error").find("ended before its end"), std::string::npos) << reply.body;

    // A byte at a time, each well within the wait for one: cut in total.
    s = OpenIdleConnection(port);
    ASSERT_GE(s, 0);
    const std::string slow = head + "Content-Length: 400\r\n\r\n";
    ASSERT_EQ(send(s, slow.data(), slow.size(), MSG_NOSIGNAL), ssize_t(slow.size()));
    for (int sent = 0; sent < 400; ++sent) {
        pollfd answered{s, POLLIN, 0};
        if (poll(&answered, 1, 50) != 0) break;
        send(s, " ", 1, MSG_NOSIGNAL);
    }
    reply = ReadReply(s);
    close(s);
    EXPECT_EQ(reply.status, 408) << "cut before the 400 bytes, 20 s, could come";
    EXPECT_EQ(service.SourceFile(), kSource);
    EXPECT_EQ(nlohmann::json::parse(service.Get("/api/show").body)["revision"], 1);
}

TEST(EditorSecurity, FortySlowBodiesDoNotKeepTheServiceFromAnsweringOthers) {
    // Bodies that stay incomplete all through the test (a minute allowed).
    ServiceHarness service(kSource, [](EditorConfig& config) { config.server.idleMilliseconds = 60000; });
    ASSERT_TRUE(service.Started()) << service.error;
    const int port = service.Port();
    const std::string slow = "POST /api/edit HTTP/1.1\r\nHost: " + Host(port) + "\r\n" + service.Bearer() +
                             "\r\nContent-Length: 1000\r\n\r\n{\"ops\":";
    std::vector<int> connections;
    for (int i = 0; i < 40; ++i) {
        connections.push_back(OpenIdleConnection(port));
        ASSERT_GE(connections.back(), 0);
        ASSERT_EQ(send(connections.back(), slow.data(), slow.size(), MSG_NOSIGNAL), ssize_t(slow.size()));
    }
    // Every slow one holds a worker; the rest answer.
    ASSERT_TRUE(WaitUntil([&] { return service.Get("/api/show").status == 200; }, 60));
    for (int socket : connections) {
        pollfd ready{socket, POLLIN, 0};
        EXPECT_EQ(poll(&ready, 1, 0), 0) << "still waiting for its body, not answered nor closed";
        close(socket);
    }
}
