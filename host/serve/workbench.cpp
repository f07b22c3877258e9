#include "workbench.h"

#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <iostream>

#include "files.h"
#include "mesh_console.h"
#include "model.h"

namespace host {

namespace {

// The commands the server keeps for the page's log.
constexpr std::size_t kLogEntries = 200;

bool ChangesNothing(const std::vector<std::string>& words) {
  return words.empty() || words[0] == "print" || words[0] == "help";
}

}  // namespace

void SendJson(HttpResponse& res, int status, const Json& body) {
  res.status = status;
  res.contentType = "application/json";
  res.body = JsonText(body);
}

void SendError(HttpResponse& res, int status, const std::string& message) {
  SendJson(res, status, Json{{"ok", false}, {"error", message}});
}

CommandResult Workbench::Impl::Run(const std::vector<std::string>& words, bool toLog, const std::string& shown) {
  CommandResult r = console->Run(words);
  if (toLog) Log(shown.empty() ? ScriptConsole::JoinLine(words) : shown, r);
  if (r.Ok() && !ChangesNothing(words)) Changed();
  return r;
}

void Workbench::Impl::Log(const std::string& line, const CommandResult& r) {
  Json entry{{"seq", ++logged},
             {"command", line},
             {"ok", r.Ok()},
             {"printed", Json(r.printed)},
             {"notes", Json(r.notes)}};
  if (!r.text.empty()) entry["text"] = r.text;
  if (!r.Ok()) entry["error"] = r.error;
  log.push_back(entry);
  while (log.size() > kLogEntries) log.pop_front();
}

void Workbench::Impl::Changed() {
  ++version;
  recovery.Changed();
  KeepRecovery(false);
}

void Workbench::Impl::KeepRecovery(bool now) {
  if (console == nullptr || console->LoadedSession() == nullptr || !recovery.Active()) return;
  // The copy is written out of the user's sight: an injected failure the
  // user armed stays armed for the user's own commands.
  FailurePlan& plan = S().GetHost().Failures();
  const FailurePlan armed = plan;
  plan.Off();
  std::string error;
  const bool kept = recovery.Keep(
      [this](const std::string& path, std::string* why) {
        const CommandResult r = console->Run(std::vector<std::string>{"save-scene", path});
        if (!r.Ok()) *why = r.error;
        return r.Ok();
      },
      now, &error);
  plan = armed;
  if (!kept) {
    CommandResult r;
    r.status = kScriptFailed;
    r.error = "the recovery copy could not be written: " + error;
    Log("(recovery copy)", r);
  }
}

bool Workbench::Impl::Restore(std::string* note) {
  if (!recovery.HasCopy()) return true;
  const std::string when = recovery.SavedWhen();
  const CommandResult r = console->Run(std::vector<std::string>{"load-scene", recovery.SceneFile()});
  if (!r.Ok()) {
    *note = "the recovery copy " + recovery.SceneFile() + " could not be restored (" + r.error +
            "); it is kept until the first change";
    return false;
  }
  std::size_t objects = S().Doc()->TreeOrder().size();
  if (objects == 0) return true;
  *note = "restored " + std::to_string(objects) + (objects == 1 ? " object" : " objects") + " from the recovery copy" +
          (when.empty() ? "" : " saved " + when) + "; the undo history was not kept";
  return true;
}

void Workbench::Impl::RemoveTempDir() {
  if (tempDir.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(tempDir, ec);
  tempDir.clear();
}

Workbench::Workbench(const ServeOptions& options) : impl_(std::make_unique<Impl>(options)) {}

Workbench::~Workbench() {
  if (impl_->started && !impl_->stopped) Stop(nullptr);
  impl_->RemoveTempDir();
}

int Workbench::Port() const { return impl_->port; }

std::string Workbench::RecoveryNote() const { return impl_->recoveryNote; }

std::string Workbench::Address() const {
  const std::string& bind = impl_->options.bind;
  const bool any = bind == "0.0.0.0" || bind == "::";
  const std::string host = any ? "127.0.0.1" : bind.find(':') != std::string::npos ? "[" + bind + "]" : bind;
  return "http://" + host + ":" + std::to_string(impl_->port) + "/";
}

bool Workbench::Start(std::string* error) {
  Impl& w = *impl_;
  if (w.started) {
    *error = "the workbench was started already";
    return false;
  }
  // A client that goes away while it is answered must not end the program.
  ::signal(SIGPIPE, SIG_IGN);
  std::string dir = (std::filesystem::temp_directory_path() / "tolvane-serve-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) {
    *error = "cannot make a private temporary folder in " + std::filesystem::temp_directory_path().string();
    return false;
  }
  w.tempDir = dir;
  HttpOptions http;
  http.maxBody = kServeMaxBody;
  http.loopbackOnly = IsLoopbackName(w.options.bind);
  http.defaultHeaders = {{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}};
  w.http = std::make_unique<HttpServer>(http);
  w.Routes();
  // The address first: a port in use is found before the plug-in is loaded.
  std::string reason;
  w.http->Bind(w.options.bind, w.options.port, &w.port, &reason);
  if (reason.empty()) {
    w.hostThread.Start([&w] { w.KeepRecovery(false); });
    w.hostThread.Run([&] {
      // The workbench's console has the mesh layer's commands (its 3-D view
      // and downloads are that layer's) and any others it was given.
      std::vector<ConsoleExtension> extensions = {&mesh::AddMeshCommands};
      for (ConsoleExtension e : w.options.extensions)
        if (e != &mesh::AddMeshCommands) extensions.push_back(e);
      w.console = std::make_unique<ScriptConsole>(extensions);
      SessionOptions session;
      session.release = w.options.release;
      session.pluginDir = w.options.pluginDir;
      ScriptError e;
      if (w.console->ChoosePlugin(session, &e) && w.console->GetSession(&e) != nullptr) {
        const std::string folder =
            w.options.stateDir.empty() ? Recovery::DefaultFolder() : w.options.stateDir == "-" ? "" : w.options.stateDir;
        if (!folder.empty() && w.recovery.Open(folder, w.options.release, &w.recoveryNote))
          w.Restore(&w.recoveryNote);
        return;
      }
      reason = e.message;
      std::string ignored;
      w.console->Finish(&ignored);
      w.console.reset();
    });
    if (!reason.empty()) w.hostThread.Stop();
  }
  if (!reason.empty()) {
    w.RemoveTempDir();
    *error = reason;
    return false;
  }
  w.started = true;
  w.listener = std::thread([&w] { w.http->Listen(); });
  return true;
}

bool Workbench::Stop(std::string* findings) {
  Impl& w = *impl_;
  if (!w.started || w.stopped) return true;
  w.stopped = true;
  w.http->Stop();
  if (w.listener.joinable()) w.listener.join();
  bool clean = true;
  std::string report;
  w.hostThread.Run([&] {
    w.KeepRecovery(true);
    clean = w.console->Finish(&report);
    w.console.reset();
  });
  w.hostThread.Stop();
  w.RemoveTempDir();
  if (!clean && findings != nullptr) *findings = report;
  return clean;
}

int Serve(const ServeOptions& options, std::ostream& out, std::ostream& err) {
  // SIGINT and SIGTERM are taken by this thread alone (sigwait): every
  // thread started from here on inherits the blocked mask.
  sigset_t stopSignals, previous;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  int status = 0;
  {
    Workbench bench(options);
    std::string error;
    if (!bench.Start(&error)) {
      err << "serve: " << error << "\n";
      status = 1;
    } else {
      if (!bench.RecoveryNote().empty()) out << "serve: " << bench.RecoveryNote() << "\n";
      out << "Tolvane workbench (release " << options.release << "): open " << bench.Address()
          << "  (Ctrl-C stops it)" << std::endl;
      int signal = 0;
      sigwait(&stopSignals, &signal);
      out << "serve: stopping" << std::endl;
      std::string findings;
      if (!bench.Stop(&findings)) {
        err << "serve: " << findings << "\n";
        status = 1;
      }
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return status;
}

int Serve(const ServeOptions& options) { return Serve(options, std::cout, std::cerr); }

}  // namespace host
