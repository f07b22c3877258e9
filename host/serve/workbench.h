// Inside the workbench: what its parts share. The host session lives on the
// host thread and is touched only from jobs run there; the HTTP threads
// parse requests, queue jobs and send the answers.
#ifndef HOST_SERVE_WORKBENCH_H
#define HOST_SERVE_WORKBENCH_H

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host_thread.h"
#include "http.h"
#include "recovery.h"
#include "serve.h"
#include "session.h"

namespace host {

// The previews' size in pixels.
constexpr int kPreviewWidth = 520;
constexpr int kPreviewHeight = 380;

struct Workbench::Impl {
  explicit Impl(const ServeOptions& o) : options(o) {}

  ServeOptions options;
  HostThread hostThread;
  std::unique_ptr<HttpServer> http;
  std::thread listener;
  int port = 0;
  bool started = false;
  bool stopped = false;
  std::string tempDir;
  Recovery recovery;
  std::string recoveryNote;  // what the start restored, or why no copy is kept

  // --- on the host thread only ---
  std::unique_ptr<ScriptConsole> console;
  std::deque<Json> log;
  uint64_t logged = 0;  // the sequence number of the last entry of the log
  uint64_t version = 0;  // counts the commands that may have changed something
  std::map<std::string, Json> thumbnails;  // the presets gallery's, by file and time

  Session& S() { return *console->LoadedSession(); }

  // workbench.cpp: commands, the log and the recovery copy.
  // Runs a line given as words; `toLog` puts it in the page's log. A command
  // other than help and print counts as a change.
  CommandResult Run(const std::vector<std::string>& words, bool toLog, const std::string& shown = "");
  void Log(const std::string& line, const CommandResult& r);
  void Changed();
  void KeepRecovery(bool now);
  bool Restore(std::string* note);

  // state.cpp: what the page shows.
  Json State(bool withViews);
  Json ActiveJson(Object* op, bool withViews);
  // The object a request names by serial (@12), name or path; null with a
  // message (the console's) when there is none.
  Object* Find(const std::string& nameOrPath, std::string* error);
  // The 2-D preview of an object (its outline in its plane, fitted, with
  // the plane's axes, points and a scale bar); `plane` -1 for its own.
  std::string Preview(Object* op, int plane);
  // The 3-D view of an object: its mesh as the mesh layer builds it
  // (positions and triangles) and the outlines and paths it holds as lines.
  Json View3d(Object* op);

  // downloads.cpp: files made of an object, and the presets gallery.
  // The file of an object in a format (svg, png, glb, gltf, obj, stl, ply),
  // with its media type; false with an HTTP status and the reason.
  bool ExportFile(Object* op, const std::string& format, std::string* bytes, std::string* type, int* status,
                  std::string* error);
  Json Gallery();

  // routes.cpp: the route table.
  void Routes();
  void Command(const HttpRequest& req, HttpResponse& res);
  void GetState(const HttpRequest& req, HttpResponse& res);
  void GetDescription(const HttpRequest& req, HttpResponse& res);
  void GetPreview(const HttpRequest& req, HttpResponse& res);
  void GetView3d(const HttpRequest& req, HttpResponse& res);
  void GetExport(const HttpRequest& req, HttpResponse& res);
  void GetDotsPng(const HttpRequest& req, HttpResponse& res);
  void GetScene(const HttpRequest& req, HttpResponse& res);
  void PostScene(const HttpRequest& req, HttpResponse& res);
  void PostPresetSave(const HttpRequest& req, HttpResponse& res);
  void PostPresetLoad(const HttpRequest& req, HttpResponse& res);
  void GetPresets(const HttpRequest& req, HttpResponse& res);
  void PostPresetApply(const HttpRequest& req, HttpResponse& res);
  void GetAsset(const HttpRequest& req, HttpResponse& res);
  // Runs `job` on the host thread; answers 503 when the host is shutting down.
  bool OnHost(HttpResponse& res, const std::function<void()>& job);

  void RemoveTempDir();
};

// Answers shared by the routes.
void SendJson(HttpResponse& res, int status, const Json& body);
void SendError(HttpResponse& res, int status, const std::string& message);

}  // namespace host

#endif
