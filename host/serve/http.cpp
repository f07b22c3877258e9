#include "http.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <httplib.h>

#include <algorithm>
#include <cctype>

#include "outputs.h"

namespace host {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) { return std::tolower(ch); });
  return text;
}

// The host name of a Host header, without the port.
std::string HostName(const std::string& header) {
  if (!header.empty() && header[0] == '[') return header.substr(0, header.find(']') + 1);
  return header.substr(0, header.find(':'));
}

HttpRequest Plain(const httplib::Request& req) {
  HttpRequest r;
  r.method = req.method;
  r.path = req.path;
  r.body = req.body;
  for (const auto& [name, value] : req.params) r.query.emplace(name, value);
  for (const auto& [name, value] : req.headers) r.headers.emplace(Lower(name), value);
  return r;
}

void Send(const HttpResponse& from, httplib::Response& to) {
  to.status = from.status;
  for (const auto& [name, value] : from.headers) to.set_header(name, value);
  to.set_content(from.body, from.contentType.c_str());
}

void SendError(httplib::Response& res, int status, const std::string& message) {
  res.status = status;
  res.set_content(ErrorBody(message), "application/json");
}

// Every socket of the server answers at once: without this a small answer
// on a kept-alive connection waits for the client's delayed ACK (about 40 ms).
void NoDelay(socket_t sock) {
  int yes = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

}  // namespace

std::string HttpRequest::Param(const std::string& name) const {
  const auto it = query.find(name);
  return it == query.end() ? "" : it->second;
}

std::string HttpRequest::Header(const std::string& name) const {
  const auto it = headers.find(Lower(name));
  return it == headers.end() ? "" : it->second;
}

std::string HttpRequest::MediaType() const {
  std::string type = Header("Content-Type");
  type = type.substr(0, type.find(';'));
  while (!type.empty() && type.back() == ' ') type.pop_back();
  return Lower(type);
}

bool IsLoopbackName(const std::string& host) {
  return host == "127.0.0.1" || host == "localhost" || host == "[::1]" || host == "::1" ||
         host.rfind("127.", 0) == 0;
}

std::string ErrorBody(const std::string& message) { return JsonText(Json{{"ok", false}, {"error", message}}); }

struct HttpServer::Impl {
  HttpOptions options;
  httplib::Server server;
};

HttpServer::HttpServer(const HttpOptions& options) : impl_(std::make_unique<Impl>()) {
  impl_->options = options;
  httplib::Server& s = impl_->server;
  const int threads = options.threads;
  s.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
  s.set_payload_max_length(options.maxBody);
  // A port another server listens on is refused, not shared (the library's
  // default would share it with SO_REUSEPORT). Accepted sockets inherit
  // the listener's TCP_NODELAY, and the library sets it on them too.
  s.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    NoDelay(sock);
  });
  s.set_tcp_nodelay(true);
  s.set_keep_alive_timeout(2);
  s.set_read_timeout(10);
  httplib::Headers headers;
  for (const auto& [name, value] : options.defaultHeaders) headers.emplace(name, value);
  s.set_default_headers(headers);
  const bool loopbackOnly = options.loopbackOnly;
  s.set_pre_routing_handler([loopbackOnly](const httplib::Request& req, httplib::Response& res) {
    // Answers go out as they are. The library would compress every text and
    // JSON answer a browser accepts compressed, with brotli at its highest
    // level: some 30 ms for the page's 36 KB script, far more than any
    // network the workbench is served on saves. (The request object is the
    // library's own, passed on as const.)
    const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
    if (!loopbackOnly) return httplib::Server::HandlerResponse::Unhandled;
    const std::string host = HostName(req.get_header_value("Host"));
    if (host.empty() || IsLoopbackName(host)) return httplib::Server::HandlerResponse::Unhandled;
    SendError(res, 403, "this workbench answers requests to a loopback address only");
    return httplib::Server::HandlerResponse::Handled;
  });
  const std::size_t maxBody = options.maxBody;
  s.set_error_handler(httplib::Server::HandlerWithResponse(
      [maxBody](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        const std::string tooLarge =
            "the body is larger than the workbench takes (" + std::to_string(maxBody / (1024 * 1024)) + " MiB)";
        const std::string message = res.status == 404   ? "no such endpoint"
                                    : res.status == 413 ? tooLarge
                                    : res.status == 405 ? "method not allowed"
                                                        : "bad request";
        SendError(res, res.status, message);
        return httplib::Server::HandlerResponse::Handled;
      }));
  s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
    std::string what = "internal error";
    try {
      if (ep) std::rethrow_exception(ep);
    } catch (const std::exception& ex) {
      what += std::string(": ") + ex.what();
    } catch (...) {
    }
    SendError(res, 500, what);
  });
}

HttpServer::~HttpServer() = default;

void HttpServer::Route(const std::string& method, const std::string& path, HttpHandler handler) {
  // The path is matched exactly, not as a pattern.
  std::string pattern;
  for (char ch : path) {
    if (std::string("\\^$.|?*+()[]{}").find(ch) != std::string::npos) pattern += '\\';
    pattern += ch;
  }
  auto wrapped = [handler](const httplib::Request& req, httplib::Response& res) {
    HttpResponse out;
    handler(Plain(req), out);
    Send(out, res);
  };
  if (method == "GET") impl_->server.Get(pattern, wrapped);
  else if (method == "POST") impl_->server.Post(pattern, wrapped);
}

void HttpServer::Otherwise(HttpHandler handler) {
  impl_->server.Get("/.*", [handler](const httplib::Request& req, httplib::Response& res) {
    HttpResponse out;
    handler(Plain(req), out);
    Send(out, res);
  });
}

bool HttpServer::Bind(const std::string& address, int port, int* bound, std::string* error) {
  httplib::Server& s = impl_->server;
  if (port == 0) {
    *bound = s.bind_to_any_port(address);
    if (*bound > 0) return true;
    *error = "cannot bind " + address + " to a free port";
    return false;
  }
  if (s.bind_to_port(address, port)) {
    *bound = port;
    return true;
  }
  *error = "cannot bind " + address + ":" + std::to_string(port) + " (in use, or not an address of this machine)";
  return false;
}

void HttpServer::Listen() { impl_->server.listen_after_bind(); }

void HttpServer::Stop() { impl_->server.stop(); }

}  // namespace host
