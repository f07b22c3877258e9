// The workbench's API (docs/http-api.md): a table of routes, each a short
// handler that reads its request, runs its work on the host thread and
// answers JSON or a file.
#include <filesystem>

#include "files.h"
#include "gui.h"
#include "png_codec.h"
#include "safe_writer.h"
#include "web_assets.h"
#include "workbench.h"

namespace host {

namespace {

// The command endpoint's body holds one line of the console.
constexpr std::size_t kMaxCommandBody = 64 * 1024;

struct Route {
  const char* method;
  const char* path;
  void (Workbench::Impl::*handler)(const HttpRequest&, HttpResponse&);
};

const Route kRoutes[] = {
    {"POST", "/api/command", &Workbench::Impl::Command},
    {"GET", "/api/state", &Workbench::Impl::GetState},
    {"GET", "/api/description", &Workbench::Impl::GetDescription},
    {"GET", "/api/preview.svg", &Workbench::Impl::GetPreview},
    {"GET", "/api/view3d", &Workbench::Impl::GetView3d},
    {"GET", "/api/export", &Workbench::Impl::GetExport},
    {"GET", "/api/dots.png", &Workbench::Impl::GetDotsPng},
    {"GET", "/api/scene", &Workbench::Impl::GetScene},
    {"POST", "/api/scene", &Workbench::Impl::PostScene},
    {"POST", "/api/preset/save", &Workbench::Impl::PostPresetSave},
    {"POST", "/api/preset/load", &Workbench::Impl::PostPresetLoad},
    {"GET", "/api/presets", &Workbench::Impl::GetPresets},
    {"POST", "/api/preset/apply", &Workbench::Impl::PostPresetApply},
};

// Requests that change the host must say what they send; a type other than
// the three a plain form may send also keeps other sites' pages from posting
// to the workbench without asking first.
bool CheckType(const HttpRequest& req, HttpResponse& res, const char* expected) {
  if (req.MediaType() == expected) return true;
  SendError(res, 415, std::string("send the body as ") + expected);
  return false;
}

// A file name made of an object's name: letters, digits, '-', '_' and '.'.
std::string SafeFileName(const std::string& name, const std::string& suffix) {
  std::string out;
  for (unsigned char ch : name) out += std::isalnum(ch) || ch == '-' || ch == '_' ? static_cast<char>(ch) : '_';
  if (out.empty()) out = "arrow";
  return out + suffix;
}

void SendFile(HttpResponse& res, const std::string& bytes, const std::string& type, const std::string& name) {
  res.status = 200;
  res.headers.push_back({"Content-Disposition", "attachment; filename=\"" + name + "\""});
  res.contentType = type;
  res.body = bytes;
}

// A message about a file of the server's private folder, with the file
// named as the person who sent it knows it.
std::string Unpath(std::string message, const std::string& file, const std::string& name) {
  for (std::size_t at = message.find(file); at != std::string::npos; at = message.find(file, at + name.size()))
    message.replace(at, file.size(), name);
  return message;
}

// The name an upload was sent with (?name=), for messages only.
std::string UploadName(const HttpRequest& req, const char* fallback) {
  std::string name = req.Param("name");
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  if (name.empty() || name.size() > 200) return fallback;
  return name;
}

int HttpStatus(const CommandResult& r) { return r.Ok() ? 200 : r.status == kScriptFailed ? 422 : 400; }

Json ResultJson(const CommandResult& r, const std::string& line) {
  Json answer{{"ok", r.Ok()}, {"command", line}, {"printed", Json(r.printed)}, {"notes", Json(r.notes)}};
  if (!r.text.empty()) answer["text"] = r.text;
  if (!r.Ok()) {
    answer["error"] = r.error;
    answer["status"] = r.status;
  }
  return answer;
}

// The words of a command request: {"command": "a line"} or {"words": [...]}.
bool CommandWords(const Json& body, std::vector<std::string>* words, std::string* line, std::string* error) {
  if (body.contains("words")) {
    if (!body["words"].is_array()) return (*error = "\"words\" must be an array of texts", false);
    for (const Json& w : body["words"]) {
      if (!w.is_string()) return (*error = "\"words\" must be an array of texts", false);
      words->push_back(w.get<std::string>());
    }
    for (const std::string& w : *words)
      if (w.find_first_of(std::string("\n\0", 2)) != std::string::npos)
        return (*error = "one console line a request: a word holds a line break", false);
    *line = ScriptConsole::JoinLine(*words);
  } else {
    *line = body["command"].get<std::string>();
    if (line->find_first_of(std::string("\n\0", 2)) != std::string::npos)
      return (*error = "one console line a request: the command holds a line break", false);
    if (!ScriptConsole::SplitLine(*line, words, error)) return false;
  }
  if (words->empty()) return (*error = "the command is empty", false);
  return true;
}

}  // namespace

bool Workbench::Impl::OnHost(HttpResponse& res, const std::function<void()>& job) {
  if (hostThread.Run(job)) return true;
  SendError(res, 503, "the workbench is shutting down");
  return false;
}

void Workbench::Impl::Routes() {
  for (const Route& r : kRoutes) {
    const auto handler = r.handler;
    http->Route(r.method, r.path, [this, handler](const HttpRequest& q, HttpResponse& s) { (this->*handler)(q, s); });
  }
  http->Otherwise([this](const HttpRequest& q, HttpResponse& s) { GetAsset(q, s); });
}

void Workbench::Impl::Command(const HttpRequest& req, HttpResponse& res) {
  if (!CheckType(req, res, "application/json")) return;
  if (req.body.size() > kMaxCommandBody) return SendError(res, 413, "a command is at most 64 KiB");
  const Json body = Json::parse(req.body, nullptr, false);
  if (body.is_discarded()) return SendError(res, 400, "the body is not JSON");
  if (!body.is_object() || !((body.contains("command") && body["command"].is_string()) || body.contains("words")))
    return SendError(res, 400, "expected {\"command\": \"a console line\"} or {\"words\": [\"set\", ...]}");
  std::vector<std::string> words;
  std::string line, error;
  if (!CommandWords(body, &words, &line, &error)) return SendError(res, 400, error);
  const bool withState = body.value("state", false);
  // "log": false keeps a command that goes through out of the page's log
  // (the timeline's playing frames); one that fails is logged all the same.
  if (body.contains("log") && !body["log"].is_boolean())
    return SendError(res, 400, "\"log\" must be true or false");
  const bool toLog = body.value("log", true);
  OnHost(res, [&] {
    bool known = false;
    const std::string refusal = console->RequestRefusal(words, &known);
    if (!refusal.empty()) return SendError(res, known ? 403 : 400, refusal);
    const CommandResult r = Run(words, toLog, line);
    if (!toLog && !r.Ok()) Log(line, r);
    Json answer = ResultJson(r, line);
    if (withState) answer["state"] = State(true);
    SendJson(res, HttpStatus(r), answer);
  });
}

void Workbench::Impl::GetState(const HttpRequest& req, HttpResponse& res) {
  const bool views = req.Param("views") == "1";
  OnHost(res, [&] { SendJson(res, 200, State(views)); });
}

void Workbench::Impl::GetDescription(const HttpRequest& req, HttpResponse& res) {
  const std::string type = req.Param("type");
  OnHost(res, [&] {
    ScriptError e;
    const Json d = console->PrintedDocument(type.empty() ? "description" : "description " + ScriptConsole::QuoteWord(type), &e);
    if (d.is_null()) return SendError(res, 400, e.message);
    SendJson(res, 200, d);
  });
}

void Workbench::Impl::GetPreview(const HttpRequest& req, HttpResponse& res) {
  const std::string object = req.Param("object");
  const std::string planeText = req.Param("plane");
  const int plane = planeText == "0" ? 0 : planeText == "1" ? 1 : planeText == "2" ? 2 : -1;
  OnHost(res, [&] {
    Object* op = object.empty() ? S().Doc()->Active() : nullptr;
    std::string error;
    if (!object.empty() && (op = Find(object, &error)) == nullptr) return SendError(res, 400, error);
    res.contentType = "image/svg+xml";
    res.body = op != nullptr ? Preview(op, plane)
                             : NoteSvg("Select an arrow to see its outline", kPreviewWidth, kPreviewHeight, "preview-svg");
  });
}

void Workbench::Impl::GetView3d(const HttpRequest& req, HttpResponse& res) {
  const std::string object = req.Param("object");
  OnHost(res, [&] {
    std::string error;
    Object* op = Find(object, &error);
    if (op == nullptr) return SendError(res, 400, error);
    SendJson(res, 200, View3d(op));
  });
}

void Workbench::Impl::GetExport(const HttpRequest& req, HttpResponse& res) {
  const std::string object = req.Param("object");
  const std::string format = req.Param("format");
  OnHost(res, [&] {
    std::string error, bytes, type;
    Object* op = Find(object, &error);
    if (op == nullptr) return SendError(res, 400, error);
    int status = 0;
    if (!ExportFile(op, format, &bytes, &type, &status, &error)) return SendError(res, status, error);
    SendFile(res, bytes, type, SafeFileName(op->Name(), "." + format));
  });
}

void Workbench::Impl::GetDotsPng(const HttpRequest&, HttpResponse& res) {
  OnHost(res, [&] {
    // `print gui` refuses as `gui png` does (no element open, or one without
    // a field); the picture is then the field's raster, encoded in memory.
    ScriptError why;
    if (console->PrintedDocument("gui", &why).is_null())
      return SendError(res, why.status == kScriptFailed ? 422 : 409, why.message);
    ElementHost* elementHost = OpenElements().back();
    const Raster* raster = elementHost->FieldRaster(elementHost->Fields().front().id);
    std::string bytes, error;
    if (!EncodePng(raster->width, raster->height, raster->rgb, &bytes, &error)) return SendError(res, 422, error);
    res.contentType = "image/png";
    res.body = bytes;
  });
}

void Workbench::Impl::GetScene(const HttpRequest&, HttpResponse& res) {
  OnHost(res, [&] {
    const std::string file = tempDir + "/scene.tlvscene";
    CommandResult r = console->Run(std::vector<std::string>{"save-scene", file});
    std::string bytes, error;
    const bool read = r.Ok() && ReadWholeFile(file, &bytes, &error);
    std::filesystem::remove(file);
    r.error = Unpath(r.error, file, "the scene file");
    Log("save-scene (download)", r);
    if (!r.Ok()) return SendError(res, 422, r.error);
    if (!read) return SendError(res, 500, "the scene could not be read back");
    SendFile(res, bytes, "application/octet-stream", "scene.tlvscene");
  });
}

void Workbench::Impl::PostScene(const HttpRequest& req, HttpResponse& res) {
  if (!CheckType(req, res, "application/octet-stream")) return;
  OnHost(res, [&] {
    const std::string file = tempDir + "/upload.tlvscene";
    std::string error;
    if (!SaveFile(file, req.body, &error)) return SendError(res, 500, "the upload could not be stored");
    const std::string name = UploadName(req, "the uploaded scene");
    CommandResult r = Run({"load-scene", file}, false);
    std::filesystem::remove(file);
    r.error = Unpath(r.error, file, name);
    Log("load-scene " + ScriptConsole::QuoteWord(name) + " (upload of " + std::to_string(req.body.size()) + " bytes)",
        r);
    if (!r.Ok()) return SendError(res, 422, r.error);
    SendJson(res, 200, Json{{"ok", true}});
  });
}

void Workbench::Impl::PostPresetSave(const HttpRequest& req, HttpResponse& res) {
  if (!CheckType(req, res, "application/json")) return;
  const Json body = Json::parse(req.body, nullptr, false);
  if (body.is_discarded() || !body.is_object() || !body.contains("object") || !body["object"].is_string())
    return SendError(res, 400, "expected {\"object\": \"the arrow's name\"}");
  const std::string path = body["object"].get<std::string>();
  OnHost(res, [&] {
    std::string error;
    Object* op = Find(path, &error);
    if (op == nullptr) return SendError(res, 400, error);
    if (!console->IsArrow(op)) return SendError(res, 400, "'" + path + "' is not an arrow");
    const std::string file = tempDir + "/preset.tlv";
    std::string written, bytes;
    ClearDialogQueue();
    const bool saved = S().SavePreset(op, file, &written, &error);
    const bool read = saved && ReadWholeFile(written, &bytes, &error);
    if (saved) std::filesystem::remove(written);
    CommandResult r;
    if (!saved) {
      r.status = kScriptFailed;
      r.error = Unpath(error, file, "the preset file");
    }
    Log("press " + ScriptConsole::QuoteWord(path) + " ARROW_SAVE_PRESET (download)", r);
    if (!saved) return SendError(res, 422, r.error);
    if (!read) return SendError(res, 500, "the preset could not be read back");
    SendFile(res, bytes, "application/octet-stream", SafeFileName(op->Name(), ".tlv"));
  });
}

void Workbench::Impl::PostPresetLoad(const HttpRequest& req, HttpResponse& res) {
  if (!CheckType(req, res, "application/octet-stream")) return;
  const std::string path = req.Param("object");
  if (path.empty()) return SendError(res, 400, "name the arrow: ?object=");
  OnHost(res, [&] {
    std::string error;
    Object* op = Find(path, &error);
    if (op == nullptr) return SendError(res, 400, error);
    if (!console->IsArrow(op)) return SendError(res, 400, "'" + path + "' is not an arrow");
    const std::string file = tempDir + "/upload.tlv";
    if (!SaveFile(file, req.body, &error)) return SendError(res, 500, "the upload could not be stored");
    ClearDialogQueue();
    CommandResult r;
    const bool loaded = S().LoadPreset(op, file, &error);
    std::filesystem::remove(file);
    const std::string name = UploadName(req, "the uploaded preset");
    if (!loaded) {
      r.status = kScriptFailed;
      r.error = "the preset " + name + " could not be loaded; the arrow is unchanged";
    }
    Log("press " + ScriptConsole::QuoteWord(path) + " ARROW_LOAD_PRESET (" + ScriptConsole::QuoteWord(name) + ", " +
            std::to_string(req.body.size()) + " bytes)",
        r);
    if (!loaded) return SendError(res, 422, r.error);
    Changed();
    SendJson(res, 200, Json{{"ok", true}});
  });
}

void Workbench::Impl::GetPresets(const HttpRequest&, HttpResponse& res) {
  OnHost(res, [&] { SendJson(res, 200, Gallery()); });
}

void Workbench::Impl::PostPresetApply(const HttpRequest& req, HttpResponse& res) {
  if (!CheckType(req, res, "application/json")) return;
  const Json body = Json::parse(req.body, nullptr, false);
  if (body.is_discarded() || !body.is_object() || !body.contains("object") || !body["object"].is_string() ||
      !body.contains("file") || !body["file"].is_string())
    return SendError(res, 400, "expected {\"object\": \"the arrow\", \"file\": \"a preset of the plug-in's folder\"}");
  const std::string path = body["object"].get<std::string>();
  const std::string name = body["file"].get<std::string>();
  if (name.empty() || name.find_first_of("/\\") != std::string::npos || name[0] == '.')
    return SendError(res, 400, "\"file\" names a preset of the plug-in's folder, without a path");
  OnHost(res, [&] {
    std::string error;
    Object* op = Find(path, &error);
    if (op == nullptr) return SendError(res, 400, error);
    if (!console->IsArrow(op)) return SendError(res, 400, "'" + path + "' is not an arrow");
    const std::string file = (std::filesystem::u8path(S().PluginDir()) / "presets" / name).u8string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(file), ec))
      return SendError(res, 404, "the plug-in has no preset " + name);
    ClearDialogQueue();
    CommandResult r;
    const bool loaded = S().LoadPreset(op, file, &error);
    if (!loaded) {
      r.status = kScriptFailed;
      r.error = error;
    }
    Log("press " + ScriptConsole::QuoteWord(path) + " ARROW_LOAD_PRESET (" + ScriptConsole::QuoteWord(name) + ")", r);
    if (!loaded) return SendError(res, 422, error);
    Changed();
    Json answer{{"ok", true}};
    if (body.value("state", false)) answer["state"] = State(true);
    SendJson(res, 200, answer);
  });
}

void Workbench::Impl::GetAsset(const HttpRequest& req, HttpResponse& res) {
  const std::string path = req.path == "/" ? "/index.html" : req.path;
  for (std::size_t i = 0; i < kWebAssetCount; ++i) {
    if (path != kWebAssets[i].path) continue;
    res.contentType = kWebAssets[i].contentType;
    res.body.assign(reinterpret_cast<const char*>(kWebAssets[i].data), kWebAssets[i].size);
    return;
  }
  SendError(res, 404, "no such page: " + req.path);
}

}  // namespace host
