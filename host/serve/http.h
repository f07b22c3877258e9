// The workbench's HTTP transport, behind plain request and response types:
// the only part of the program that sees the HTTP library. Handlers get a
// request and fill a response; errors of the transport itself (no route, a
// body too large, a handler that threw) are answered as JSON
// {"ok": false, "error": "..."}.
#ifndef HOST_SERVE_HTTP_H
#define HOST_SERVE_HTTP_H

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace host {

struct HttpRequest {
  std::string method;  // "GET", "POST"
  std::string path;    // without the query
  std::string body;
  std::map<std::string, std::string> query;    // the first value of each
  std::map<std::string, std::string> headers;  // names in lower case

  // A query parameter or a header; empty when absent.
  std::string Param(const std::string& name) const;
  std::string Header(const std::string& name) const;
  // The media type of the body without its parameters, in lower case.
  std::string MediaType() const;
};

struct HttpResponse {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

using HttpHandler = std::function<void(const HttpRequest&, HttpResponse&)>;

struct HttpOptions {
  std::size_t maxBody = 4 * 1024 * 1024;  // larger bodies are answered 413
  // Answer requests whose Host header names a loopback address only (a page
  // of another site reached through a name that points here is refused).
  bool loopbackOnly = true;
  int threads = 16;  // requests answered at a time
  std::vector<std::pair<std::string, std::string>> defaultHeaders;
};

class HttpServer {
 public:
  explicit HttpServer(const HttpOptions& options);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // A handler for one method and exact path; `Otherwise` takes every GET no
  // route took (the page's files).
  void Route(const std::string& method, const std::string& path, HttpHandler handler);
  void Otherwise(HttpHandler handler);

  // Binds the address: port 0 takes a free one. False with the reason (the
  // port in use, an address not of this machine).
  bool Bind(const std::string& address, int port, int* bound, std::string* error);
  // Serves until Stop; requests being answered are finished first.
  void Listen();
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Whether a host name (of a Host header, or an address to bind) is a
// loopback address.
bool IsLoopbackName(const std::string& host);

// A JSON error body for `message`.
std::string ErrorBody(const std::string& message);

}  // namespace host

#endif
