// The stand-in host's workbench: an HTTP server that loads the plug-in into
// one host session and serves a single-page workbench (web/, embedded into
// the program) and its JSON API (docs/http-api.md).
//
// Every request that touches the host is carried out on one host thread, in
// the order the requests arrived (host_thread.h). The API speaks the
// console's language: the page's actions are console commands
// (host/cli/script.h), answered with the command's structured result: its
// status, error, notes and printed documents, and the state the page shows.
// Whether a request may run a command is the console's command table's to
// say; files travel by upload and download only, through a private
// temporary folder of the server.
//
// Nothing is lost when the server dies: a recovery copy of the document (a
// scene file, written through the safe writer at most about once a second
// after changes) is kept in a state folder, and a server started again
// loads it back.
#ifndef HOST_SERVE_H
#define HOST_SERVE_H

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "script.h"

namespace host {

struct ServeOptions {
  int release = 16;          // 16 or 12: picks the built plug-in folder
  std::string pluginDir;     // a plug-in folder instead (release still picks the host)
  int port = 8080;           // 0: any free port (the one taken is printed)
  std::string bind = "127.0.0.1";
  // Where the recovery copy is kept: empty for the user's state folder
  // ($XDG_STATE_HOME/tolvane, or ~/.local/state/tolvane), "-" for none.
  std::string stateDir;
  // Commands the workbench's console gets beside its own and the mesh
  // layer's (which it always has).
  std::vector<ConsoleExtension> extensions;
};

// The largest request body taken; larger ones are answered 413.
constexpr std::size_t kServeMaxBody = 4 * 1024 * 1024;

// A running workbench: the host session on its own thread and the HTTP
// server in front of it.
class Workbench {
 public:
  explicit Workbench(const ServeOptions& options);
  ~Workbench();  // stops what still runs (without a report)
  Workbench(const Workbench&) = delete;
  Workbench& operator=(const Workbench&) = delete;

  // Loads the plug-in, restores the recovery copy when there is one, binds
  // the address and starts serving. False with the reason when the plug-in
  // does not load or the address cannot be bound.
  bool Start(std::string* error);
  // The port served (the one taken when 0 was asked for).
  int Port() const;
  // The address to open in a browser: http://BIND:PORT/
  std::string Address() const;
  // What the start restored ("restored 3 objects saved 2026-12-09 10:00:00
  // ..."), or why there is no recovery copy; empty when there was nothing.
  std::string RecoveryNote() const;

  // Stops serving (requests still being answered are finished first),
  // writes the recovery copy a last time, then shuts the host down. False
  // with the findings when the module left allocations, texts, containers
  // or files behind, or misused a handle.
  bool Stop(std::string* findings);

  // What the workbench's own files share (workbench.h).
  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// `tolvane-host serve`: starts a workbench, prints the address to open and
// serves until SIGINT or SIGTERM; then shuts the host down and reports, as
// at the end of a script, what the module left behind or misused. Answers
// the exit status: 0, 1 when the plug-in does not load, the address cannot
// be bound or the report found something.
int Serve(const ServeOptions& options, std::ostream& out, std::ostream& err);
int Serve(const ServeOptions& options);  // standard output and error

}  // namespace host

#endif
