// EditorServer: civetweb's options, the guard, static files, bodies, and the
// push channel's connections.
#include "author/service/EditorServer.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "author/service/ConnectionSocket.h"
#include "author/service/PushFrames.h"
#include "author/service/ShowJson.h"

namespace {

std::once_flag libraryStarted;

const char kPushPath[] = "/api/live";

// A request and its reply together at least this large are followed by
// giving freed memory back to the system.
const size_t kLargeExchange = 256 * 1024;

const char kMissingEditor[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Tessel editor</title></head><body>"
    "<h1>The editor's files are missing</h1><p>tessel-author serves the page from the <code>editor/</code> "
    "folder beside its executable, and there is none. Build the project again (the build copies "
    "<code>editor/</code> to <code>build/show/editor/</code>). The JSON API under <code>/api/</code> "
    "works all the same.</p></body></html>";

const char* StatusText(int status) {
    switch (status) {
        case 200: return "OK";
        case 303: return "See Other";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 409: return "Conflict";
        case 413: return "Payload Too Large";
        case 503: return "Service Unavailable";
        default: return "";
    }
}

struct Header {
    const char* name;
    std::string value;
};

// Sends a whole response; returns the status, as civetweb's handlers do.
// A WebSocket handshake refused before the upgrade takes the response as
// raw text (civetweb's header calls do not apply to it).
int Respond(mg_connection* connection, int status, const std::string& type, const std::string& body,
            std::initializer_list<Header> extra = {}, bool close = false) {
    std::vector<Header> headers = {
        {"Content-Type", type},
        {"Content-Length", std::to_string(body.size())},
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
    };
    if (close) headers.push_back({"Connection", "close"});
    headers.insert(headers.end(), extra.begin(), extra.end());
    const mg_request_info* request = mg_get_request_info(connection);
    const bool head = std::strcmp(request->request_method, "HEAD") == 0;
    if (mg_response_header_start(connection, status) < 0) {
        std::string raw = "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) + "\r\n";
        for (const Header& header : headers) raw += std::string(header.name) + ": " + header.value + "\r\n";
        raw += "\r\n";
        if (!head) raw += body;
        mg_write(connection, raw.data(), raw.size());
        return status;
    }
    for (const Header& header : headers) mg_response_header_add(connection, header.name, header.value.c_str(), -1);
    mg_response_header_send(connection);
    if (!head && !body.empty()) mg_write(connection, body.data(), body.size());
    return status;
}

int RespondJson(mg_connection* connection, int status, const std::string& body, bool close = false) {
    return Respond(connection, status, "application/json", body, {}, close);
}

// Opens and closes one connection to the service, to wake its listener.
void WakeListener(const std::string& listen, int port) {
    const bool v6 = listen.find(':') != std::string::npos;
    const int s = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0) return;
    sockaddr_storage address{};
    socklen_t length = 0;
    const bool any = listen == "0.0.0.0" || listen == "::";
    if (v6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<uint16_t>(port));
        if (any || inet_pton(AF_INET6, listen.c_str(), &in6->sin6_addr) != 1) in6->sin6_addr = in6addr_loopback;
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(static_cast<uint16_t>(port));
        if (any || inet_pton(AF_INET, listen.c_str(), &in4->sin_addr) != 1) in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *in4;
    }
    connect(s, reinterpret_cast<sockaddr*>(&address), length);
    close(s);
}

// The paths civetweb gives the push channel's handler: its patterns match
// a prefix, in any case ("/api/live", "/api/live/x", "/API/LIVEx").
bool IsPushPath(const std::string& path) { return strncasecmp(path.c_str(), kPushPath, std::strlen(kPushPath)) == 0; }

// Any Upgrade header naming "websocket" anywhere, in any case: civetweb
// takes a request for a WebSocket handshake on less than that (the first
// Upgrade header holding it, with a Connection header holding "upgrade").
bool AsksForWebSocket(const mg_connection* connection) {
    const mg_request_info* request = mg_get_request_info(connection);
    for (int i = 0; i < request->num_headers; ++i)
        if (strcasecmp(request->http_headers[i].name, "Upgrade") == 0 && request->http_headers[i].value &&
            strcasestr(request->http_headers[i].value, "websocket"))
            return true;
    return false;
}

RequestFacts FactsOf(const mg_connection* connection) {
    const mg_request_info* request = mg_get_request_info(connection);
    RequestFacts facts;
    facts.method = request->request_method ? request->request_method : "";
    facts.path = request->local_uri ? request->local_uri : "";
    facts.query = request->query_string ? request->query_string : "";
    facts.host = mg_get_header(connection, "Host");
    facts.origin = mg_get_header(connection, "Origin");
    facts.cookie = mg_get_header(connection, "Cookie");
    facts.authorization = mg_get_header(connection, "Authorization");
    // Whatever the push channel's handler could be given is checked as its
    // handshake: by the path civetweb routes on, and by the header.
    facts.pushHandshake = IsPushPath(facts.path) || AsksForWebSocket(connection);
    return facts;
}

int SocketOf(const mg_connection* connection, int port) {
    const mg_request_info* request = mg_get_request_info(connection);
    return FindConnectionSocket(request->remote_addr, request->remote_port, port);
}

}  // namespace

struct EditorServer::PushConnection {
    std::shared_ptr<PushHub::Client> client;
    int socket = -1;
};

bool EditorServer::Start(const ServerConfig& wanted, const std::string& token, std::string* error) {
    Stop();
    config = wanted;
    stopping = false;
    // Each push client holds a worker thread: half of them stay for requests.
    config.maxPushClients = std::min<size_t>(config.maxPushClients, size_t(std::max(config.threads, 2)) / 2);
    std::call_once(libraryStarted, [] { mg_init_library(MG_FEATURES_WEBSOCKET); });
    const std::string address = config.listen.find(':') != std::string::npos ? "[" + config.listen + "]" : config.listen;
    const std::string ports = address + ":" + std::to_string(config.port);
    const std::string threads = std::to_string(config.threads);
    const std::string idle = std::to_string(config.idleMilliseconds);
    const char* options[] = {
        "listening_ports", ports.c_str(),
        "num_threads", threads.c_str(),
        "connection_queue", "32",
        "listen_backlog", "64",
        "request_timeout_ms", idle.c_str(),
        "keep_alive_timeout_ms", idle.c_str(),
        "enable_keep_alive", "yes",
        "access_control_allow_origin", "",
        "access_control_allow_methods", "",
        "access_control_allow_headers", "",
        "enable_directory_listing", "no",
        "max_request_size", "16384",
        nullptr,
    };
    mg_callbacks callbacks{};
    callbacks.begin_request = BeginRequest;
    context = mg_start(&callbacks, this, options);
    if (!context) {
        *error = "cannot listen on " + ports + " (is another tessel-author running? --port picks another port)";
        return false;
    }
    mg_server_port bound[1];
    if (mg_get_server_ports(context, 1, bound) < 1) {
        Stop();
        *error = "cannot tell which port " + ports + " listens on";
        return false;
    }
    port = bound[0].port;
    const bool loopback = config.listen == "127.0.0.1" || config.listen == "localhost" || config.listen == "::1";
    guard = std::make_unique<RequestGuard>(token, port, loopback ? "" : config.listen);
    deadlines = std::make_unique<ReadDeadlines>();
    mg_set_request_handler(context, "/", HandleRequest, this);
    mg_set_websocket_handler(context, kPushPath, PushConnect, PushReady, PushData, PushClose, this);
    return true;
}

void EditorServer::Stop() {
    if (!context) return;
    // Push connections read by our own code end on this.
    stopping = true;
    // civetweb's listening thread notices the stop only when its poll
    // returns, which an idle server's does after two seconds: connections
    // made meanwhile wake it at once.
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        mg_stop(context);
        stopped = true;
    });
    while (!stopped) {
        WakeListener(config.listen, port);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stopper.join();
    context = nullptr;
    deadlines.reset();
}

int EditorServer::BeginRequest(mg_connection* connection) {
    auto* server = static_cast<EditorServer*>(mg_get_user_data(mg_get_context(connection)));
    return server->Guard(connection);
}

int EditorServer::Guard(mg_connection* connection) {
    if (!guard || !routes->Ready())
        return RespondJson(connection, 503, ErrorJson("the editor is still starting; try again in a moment"), true);
    const RequestFacts facts = FactsOf(connection);
    const GuardVerdict verdict = guard->Check(facts);
    if (verdict.status == 303)
        return Respond(connection, 303, "text/plain", "", {{"Location", verdict.location}, {"Set-Cookie", verdict.cookie}});
    if (verdict.status != 0) return RespondJson(connection, verdict.status, ErrorJson(verdict.error), true);
    if (facts.pushHandshake && routes->Hub().Clients() >= config.maxPushClients)
        return RespondJson(connection, 503,
                           ErrorJson("too many pages on the push channel (at most " +
                                     std::to_string(config.maxPushClients) + ")"),
                           true);
    return 0;
}

int EditorServer::HandleRequest(mg_connection* connection, void* server) {
    return static_cast<EditorServer*>(server)->Serve(connection);
}

EditorServer::BodyRead EditorServer::ReadBody(mg_connection* connection, std::string* body) {
    const mg_request_info* request = mg_get_request_info(connection);
    const long long stated = request->content_length;  // -1: chunked, or none stated
    if (stated > static_cast<long long>(config.maxBody)) return BodyRead::TooLarge;
    if (stated > 0) body->reserve(size_t(stated));
    // civetweb bounds each wait for bytes, not the whole body: a body sent a
    // byte at a time would hold its worker for as long as it likes.
    const int socket = SocketOf(connection, port);
    const uint64_t watch =
        socket >= 0 ? deadlines->Arm(socket, ReadDeadlines::Clock::now() +
                                                 std::chrono::milliseconds(config.idleMilliseconds))
                    : 0;
    BodyRead result = BodyRead::Whole;
    char buffer[16384];
    for (;;) {
        const int got = mg_read(connection, buffer, sizeof buffer);
        if (got < 0) result = BodyRead::Short;  // a chunk cut off or malformed
        if (got <= 0) break;
        body->append(buffer, size_t(got));
        if (body->size() > config.maxBody) {
            result = BodyRead::TooLarge;
            break;
        }
    }
    if (watch && deadlines->Disarm(watch)) return BodyRead::Late;
    if (result == BodyRead::Whole && stated >= 0 && body->size() != size_t(stated)) return BodyRead::Short;
    return result;
}

int EditorServer::RespondLarge(mg_connection* connection, EditorRoutes::Reply reply, size_t bytes) {
    const int handled = Respond(connection, reply.status, reply.type, reply.body);
    if (bytes >= kLargeExchange) {
        // Building and parsing that much took large blocks from this worker's
        // own allocator arena, which keeps them once freed: with a few dozen
        // workers that adds up to hundreds of MiB kept after a burst. Such
        // requests are rare (a page loading, a big edit), so they are given back.
        std::string().swap(reply.body);
        malloc_trim(0);
    }
    return handled;
}

int EditorServer::Serve(mg_connection* connection) {
    const mg_request_info* request = mg_get_request_info(connection);
    const std::string method = request->request_method ? request->request_method : "";
    const std::string path = request->local_uri ? request->local_uri : "";
    const bool api = path.compare(0, 5, "/api/") == 0;
    if (method == "POST") {
        if (!api) return RespondJson(connection, 405, ErrorJson("only /api/ takes POST"));
        std::string body;
        switch (ReadBody(connection, &body)) {
            case BodyRead::Whole: break;
            case BodyRead::TooLarge:
                return RespondJson(connection, 413,
                                   ErrorJson("the body is over " + std::to_string(config.maxBody) + " bytes"), true);
            case BodyRead::Short:
                return RespondJson(connection, 400,
                                   ErrorJson("the body ended before its end (" + std::to_string(body.size()) +
                                             " bytes came): nothing was done"),
                                   true);
            case BodyRead::Late:
                return RespondJson(connection, 408,
                                   ErrorJson("the request was not whole within " +
                                             std::to_string(config.idleMilliseconds) + " ms: nothing was done"),
                                   true);
        }
        EditorRoutes::Reply reply = routes->Post(path, body);
        const size_t bytes = body.size() + reply.body.size();
        std::string().swap(body);
        return RespondLarge(connection, std::move(reply), bytes);
    }
    if (method != "GET" && method != "HEAD")
        return RespondJson(connection, 405, ErrorJson("method " + method + " is not used here"));
    if (IsPushPath(path))
        return RespondJson(connection, 400, ErrorJson("/api/live is a WebSocket: connect with an upgrade"));
    if (api) {
        EditorRoutes::Reply reply = routes->Get(path, request->query_string ? request->query_string : "");
        const size_t bytes = reply.body.size();
        return RespondLarge(connection, std::move(reply), bytes);
    }
    if (const StaticFiles::File* file = files ? files->Find(path) : nullptr)
        return Respond(connection, 200, file->type, file->bytes);
    if (path == "/" && (!files || files->Empty()))
        return Respond(connection, 200, "text/html; charset=utf-8", kMissingEditor);
    return RespondJson(connection, 404, ErrorJson("no such file: " + path));
}

int EditorServer::PushConnect(const mg_connection* connection, void* server) {
    auto* self = static_cast<EditorServer*>(server);
    // The guard answered in BeginRequest; what reaches the handler is checked
    // again as a handshake, and the bound is kept under a race.
    RequestFacts facts = FactsOf(connection);
    facts.pushHandshake = true;
    if (self->guard->Check(facts).status != 0) return 1;
    return self->routes->Hub().Clients() >= self->config.maxPushClients ? 1 : 0;
}

void EditorServer::PushReady(mg_connection* connection, void* server) {
    auto* self = static_cast<EditorServer*>(server);
    auto* push = new PushConnection;
    push->socket = SocketOf(connection, self->port);
    const int socket = push->socket;
    push->client = self->routes->Connect(
        [connection](const std::string& message) {
            return mg_websocket_write(connection, MG_WEBSOCKET_OPCODE_TEXT, message.data(), message.size()) >=
                   static_cast<int>(message.size());
        },
        [connection, socket] {
            const char normal[] = {'\x03', '\xe8'};  // 1000: a normal closure
            mg_websocket_write(connection, MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE, normal, sizeof normal);
            // Ends the reading below; the connection stays open until the
            // worker's handler returns.
            if (socket >= 0) shutdown(socket, SHUT_RD);
        });
    mg_set_user_connection_data(connection, push);
    const PushWrite write = [connection](int opcode, const std::string& payload) {
        return mg_websocket_write(connection, opcode, payload.data(), payload.size()) >= 0;
    };
    if (socket < 0) {
        write(MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE, std::string("\x03\xf3", 2));  // 1011: cannot serve it
        return;
    }
    PushLimits limits;
    limits.maxMessage = self->config.maxPushMessage;
    limits.frameMilliseconds = self->config.idleMilliseconds;
    limits.idleMilliseconds = self->config.idleMilliseconds;
    ReadPushFrames(socket, limits, write, self->stopping);
    // civetweb's own reading, which follows, finds the connection ended.
    shutdown(socket, SHUT_RD);
}

int EditorServer::PushData(mg_connection*, int, char*, size_t, void*) {
    // Frames are read by ReadPushFrames; civetweb reads only what came with
    // the handshake itself, after that has ended the connection.
    return 0;
}

void EditorServer::PushClose(const mg_connection* connection, void* server) {
    auto* self = static_cast<EditorServer*>(server);
    auto* push = static_cast<PushConnection*>(mg_get_user_connection_data(connection));
    if (!push) return;
    self->routes->Hub().Remove(push->client);
    delete push;
}
