// EditorServer: civetweb's options, the guard, static files, bodies, and the
// push channel's connections.
#include "author/service/EditorServer.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "author/service/ShowJson.h"

namespace {

std::once_flag libraryStarted;

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

bool IsPushPath(const char* path) { return std::strcmp(path, "/api/live") == 0; }

bool WantsWebSocket(const mg_connection* connection) {
    const char* upgrade = mg_get_header(connection, "Upgrade");
    return upgrade && strcasecmp(upgrade, "websocket") == 0;
}

}  // namespace

struct EditorServer::PushConnection {
    std::shared_ptr<PushHub::Client> client;
};

bool EditorServer::Start(const ServerConfig& wanted, const std::string& token, std::string* error) {
    Stop();
    config = wanted;
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
        "connection_queue", "16",
        "listen_backlog", "32",
        "request_timeout_ms", idle.c_str(),
        "keep_alive_timeout_ms", idle.c_str(),
        "enable_keep_alive", "yes",
        // Push clients that stop answering pings are closed.
        "websocket_timeout_ms", idle.c_str(),
        "enable_websocket_ping_pong", "yes",
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
    mg_set_request_handler(context, "/", HandleRequest, this);
    mg_set_websocket_handler(context, "/api/live", PushConnect, PushReady, PushData, PushClose, this);
    return true;
}

void EditorServer::Stop() {
    if (!context) return;
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
}

int EditorServer::BeginRequest(mg_connection* connection) {
    auto* server = static_cast<EditorServer*>(mg_get_user_data(mg_get_context(connection)));
    return server->Guard(connection);
}

int EditorServer::Guard(mg_connection* connection) {
    if (!guard || !routes->Ready())
        return RespondJson(connection, 503, ErrorJson("the editor is still starting; try again in a moment"), true);
    const mg_request_info* request = mg_get_request_info(connection);
    RequestFacts facts;
    facts.method = request->request_method ? request->request_method : "";
    facts.path = request->local_uri ? request->local_uri : "";
    facts.query = request->query_string ? request->query_string : "";
    facts.host = mg_get_header(connection, "Host");
    facts.origin = mg_get_header(connection, "Origin");
    facts.cookie = mg_get_header(connection, "Cookie");
    facts.authorization = mg_get_header(connection, "Authorization");
    facts.pushHandshake = IsPushPath(facts.path.c_str()) && WantsWebSocket(connection);
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

bool EditorServer::ReadBody(mg_connection* connection, std::string* body) {
    const mg_request_info* request = mg_get_request_info(connection);
    if (request->content_length > static_cast<long long>(config.maxBody)) return false;
    char buffer[16384];
    for (;;) {
        const int got = mg_read(connection, buffer, sizeof buffer);
        if (got <= 0) return true;
        body->append(buffer, size_t(got));
        if (body->size() > config.maxBody) return false;
    }
}

int EditorServer::Serve(mg_connection* connection) {
    const mg_request_info* request = mg_get_request_info(connection);
    const std::string method = request->request_method ? request->request_method : "";
    const std::string path = request->local_uri ? request->local_uri : "";
    const bool api = path.compare(0, 5, "/api/") == 0;
    if (method == "POST") {
        if (!api) return RespondJson(connection, 405, ErrorJson("only /api/ takes POST"));
        std::string body;
        if (!ReadBody(connection, &body))
            return RespondJson(connection, 413,
                               ErrorJson("the body is over " + std::to_string(config.maxBody) + " bytes"), true);
        const EditorRoutes::Reply reply = routes->Post(path, body);
        return RespondJson(connection, reply.status, reply.body);
    }
    if (method != "GET" && method != "HEAD")
        return RespondJson(connection, 405, ErrorJson("method " + method + " is not used here"));
    if (IsPushPath(path.c_str()))
        return RespondJson(connection, 400, ErrorJson("/api/live is a WebSocket: connect with an upgrade"));
    if (api) {
        const EditorRoutes::Reply reply = routes->Get(path, request->query_string ? request->query_string : "");
        return Respond(connection, reply.status, reply.type, reply.body);
    }
    if (const StaticFiles::File* file = files ? files->Find(path) : nullptr)
        return Respond(connection, 200, file->type, file->bytes);
    if (path == "/" && (!files || files->Empty()))
        return Respond(connection, 200, "text/html; charset=utf-8", kMissingEditor);
    return RespondJson(connection, 404, ErrorJson("no such file: " + path));
}

int EditorServer::PushConnect(const mg_connection* connection, void* server) {
    auto* self = static_cast<EditorServer*>(server);
    // The guard ran in BeginRequest; this only keeps the bound under a race.
    return self->routes->Hub().Clients() >= self->config.maxPushClients ? 1 : 0;
}

void EditorServer::PushReady(mg_connection* connection, void* server) {
    auto* self = static_cast<EditorServer*>(server);
    auto* push = new PushConnection;
    push->client = self->routes->Connect(
        [connection](const std::string& message) {
            return mg_websocket_write(connection, MG_WEBSOCKET_OPCODE_TEXT, message.data(), message.size()) >=
                   static_cast<int>(message.size());
        },
        [connection] {
            const char normal[] = {'\x03', '\xe8'};  // 1000: a normal closure
            mg_websocket_write(connection, MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE, normal, sizeof normal);
        });
    mg_set_user_connection_data(connection, push);
}

int EditorServer::PushData(mg_connection* connection, int bits, char* data, size_t length, void* server) {
    // Pages send nothing but control frames; a close ends the connection.
    return (bits & 0x0F) == MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE ? 0 : 1;
}

void EditorServer::PushClose(const mg_connection* connection, void* server) {
    auto* self = static_cast<EditorServer*>(server);
    auto* push = static_cast<PushConnection*>(mg_get_user_connection_data(connection));
    if (!push) return;
    self->routes->Hub().Remove(push->client);
    delete push;
}
