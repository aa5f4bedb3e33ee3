// EditorServer: the editing service's HTTP and WebSocket front, on civetweb.
// Every request passes the RequestGuard first, checked as a push-channel
// handshake whenever civetweb could route it to that handler; then the
// editor's files are answered from memory, /api/... goes to the routes
// behind the server, and GET /api/live upgrades to the push channel (one
// PushHub client each, its incoming frames read by ReadPushFrames). Bodies
// over the limit get 413 without being read, one not whole within the idle
// time 408, one shorter than it said 400, none of them reaching a route.
// Idle and slow connections time out; the worker threads (one per open
// connection) and the push clients are bounded, and no CORS header is ever
// sent.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "author/service/PushHub.h"
#include "author/service/ReadDeadlines.h"
#include "author/service/RequestGuard.h"
#include "author/service/StaticFiles.h"

struct mg_connection;
struct mg_context;

// What the server asks of the service behind it.
class EditorRoutes {
public:
    struct Reply {
        int status = 200;
        std::string body;
        std::string type = "application/json";  // an image's own type for pictures
    };
    virtual ~EditorRoutes() = default;
    // False while the service is still starting: every request gets 503.
    virtual bool Ready() const = 0;
    // GET and POST of /api/... (the path without its query); replies are JSON
    // unless they say otherwise.
    virtual Reply Get(const std::string& path) = 0;
    // GET with the request's query string (undecoded), for the routes that take one.
    virtual Reply Get(const std::string& path, const std::string& query) { return Get(path); }
    virtual Reply Post(const std::string& path, const std::string& body) = 0;
    // A new push client, its first message (hello) queued.
    virtual std::shared_ptr<PushHub::Client> Connect(PushHub::Send send, PushHub::Close close) = 0;
    virtual PushHub& Hub() = 0;
};

struct ServerConfig {
    std::string listen = "127.0.0.1";  // another address comes with a warning from the caller
    int port = 7070;                   // 0: a free one
    int threads = 64;                  // open connections served at once (push clients included)
    int idleMilliseconds = 5000;       // a request whole, a keep-alive wait, a blocked send, a push frame
    size_t maxPushClients = 8;
    size_t maxBody = 1 << 20;
    size_t maxPushMessage = 4096;      // what a page may send in one message
};

class EditorServer {
public:
    EditorServer(EditorRoutes* routes, const StaticFiles* files) : routes(routes), files(files) {}
    ~EditorServer() { Stop(); }
    EditorServer(const EditorServer&) = delete;
    EditorServer& operator=(const EditorServer&) = delete;

    // Listens; false with *error (a port in use names the port).
    bool Start(const ServerConfig& config, const std::string& token, std::string* error);
    void Stop();
    int Port() const { return port; }

private:
    struct PushConnection;
    static int BeginRequest(mg_connection* connection);
    static int HandleRequest(mg_connection* connection, void* server);
    static int PushConnect(const mg_connection* connection, void* server);
    static void PushReady(mg_connection* connection, void* server);
    static int PushData(mg_connection* connection, int bits, char* data, size_t length, void* server);
    static void PushClose(const mg_connection* connection, void* server);

    enum class BodyRead { Whole, TooLarge, Short, Late };

    int Guard(mg_connection* connection);
    int Serve(mg_connection* connection);
    BodyRead ReadBody(mg_connection* connection, std::string* body);
    // Answers a route's reply; after a large exchange (`bytes` of body and
    // reply) gives freed memory back.
    int RespondLarge(mg_connection* connection, EditorRoutes::Reply reply, size_t bytes);

    EditorRoutes* routes;
    const StaticFiles* files;
    ServerConfig config;
    std::unique_ptr<RequestGuard> guard;
    std::unique_ptr<ReadDeadlines> deadlines;
    std::atomic<bool> stopping{false};
    mg_context* context = nullptr;
    int port = 0;
};
