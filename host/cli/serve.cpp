#include "serve.h"

#include <signal.h>
#include <stdlib.h>

#include <httplib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iostream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "custom_values.h"
#include "files.h"
#include "gui.h"
#include "script.h"
#include "session.h"
#include "web_assets.h"

namespace host {

namespace {

constexpr int32_t kArrowType = ID_TOLVANE;
// The command endpoint's body is one line of the console.
constexpr std::size_t kMaxCommandBody = 64 * 1024;
// The commands the server keeps for the page's log.
constexpr std::size_t kLogEntries = 200;

// --- the host thread ----------------------------------------------------------

// Runs jobs one after the other on a thread of its own; the callers wait.
class HostThread {
 public:
  void Start() { thread_ = std::thread([this] { Loop(); }); }

  // Runs `job` on the host thread and waits for it; false (without running
  // it) once the thread is stopping. An exception of the job is rethrown here.
  bool Run(const std::function<void()>& job) {
    auto task = std::make_shared<std::packaged_task<void()>>(job);
    std::future<void> done = task->get_future();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_ || !thread_.joinable()) return false;
      queue_.push_back(task);
    }
    wake_.notify_one();
    done.get();
    return true;
  }

  // Lets the queued jobs finish, then ends the thread.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

  ~HostThread() { Stop(); }

 private:
  void Loop() {
    for (;;) {
      std::shared_ptr<std::packaged_task<void()>> task;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        task = queue_.front();
        queue_.pop_front();
      }
      (*task)();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<std::packaged_task<void()>>> queue_;
  bool stopping_ = false;
  std::thread thread_;
};

// --- console words and what the console printed -------------------------------

// A text as one word of a console line: quoted when it holds a blank, a
// quote, `#` or a backslash (or is empty).
std::string Word(const std::string& text) {
  const bool plain = !text.empty() && text.find_first_of(" \t\r\"#\\") == std::string::npos;
  if (plain) return text;
  std::string out = "\"";
  for (char ch : text) {
    if (ch == '"' || ch == '\\') out += '\\';
    out += ch;
  }
  return out + "\"";
}

// Each printed line is one JSON document.
Json PrintedJson(const std::string& text) {
  Json list = Json::array();
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    Json doc = Json::parse(line, nullptr, false);
    list.push_back(doc.is_discarded() ? Json(line) : doc);
  }
  return list;
}

// The names of an object and its parents, from the top: the path by which
// the console finds it.
std::string PathOf(const Object* op) {
  std::string path = op->Name();
  for (const Object* up = op->Up(); up != nullptr; up = up->Up()) path = up->Name() + "/" + path;
  return path;
}

// --- print subjects the page needs ---------------------------------------------

Object* FindArrow(ScriptConsole& c, const std::string& name, ScriptError* e) {
  Object* op = c.FindObject(name, e);
  if (op == nullptr) return nullptr;
  if (!c.IsArrow(op)) {
    Fail(e, Quoted(name) + " is not an arrow");
    return nullptr;
  }
  return op;
}

// `print editor NAME`: the arrow's attribute editor, every parameter of its
// description with its value and whether the module enables it.
bool PrintEditor(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = FindArrow(c, a[0], e);
  if (op == nullptr) return false;
  Json editor = c.LoadedSession()->ParamsJson(op);
  editor["name"] = op->Name();
  c.Print(editor);
  return true;
}

// `print description`: the arrow's description, in the attribute editor's order.
bool PrintDescription(ScriptConsole& c, const ScriptArgs&, ScriptError*) {
  const Session& s = *c.LoadedSession();
  const Description* d = s.ArrowDescription();
  Json params = Json::array();
  for (const ParamDesc& p : d->params) {
    Json entry{{"id", p.id}, {"name", p.name}, {"type", p.type}, {"label", p.label}, {"group", p.group}};
    if (!p.unit.empty()) entry["unit"] = p.unit;
    if (p.min) entry["min"] = DoubleJson(*p.min);
    if (p.max) entry["max"] = DoubleJson(*p.max);
    if (p.step) entry["step"] = DoubleJson(*p.step);
    if (!p.choices.empty()) {
      Json choices = Json::array();
      for (const auto& [value, label] : p.choices) choices.push_back(Json{{"value", value}, {"label", label}});
      entry["choices"] = choices;
    }
    if (p.type == "link") entry["accept"] = p.accept;
    params.push_back(entry);
  }
  c.Print(Json{{"release", s.Release()}, {"name", d->name}, {"arrow_type", kArrowType}, {"params", params}});
  return true;
}

// `print userdata NAME`: the object's user-data parameters.
bool PrintUserData(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Object* op = c.FindObject(a[0], e);
  if (op == nullptr) return false;
  Json list = Json::array();
  for (const UserDataDesc& d : op->UserData()) {
    Json entry{{"id", d.id}, {"name", d.name}, {"type", d.type}};
    const CustomTypeRef custom = FindCustomDataType(d.type);
    entry["symbol"] = custom != nullptr ? Json(custom->symbol) : Json(nullptr);
    list.push_back(entry);
  }
  c.Print(list);
  return true;
}

// --- the preview ----------------------------------------------------------------

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

std::string XmlText(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '&') out += "&amp;";
    else if (ch == '<') out += "&lt;";
    else if (ch == '>') out += "&gt;";
    else if (ch == '"') out += "&quot;";
    else out += ch;
  }
  return out;
}

constexpr int kPreviewWidth = 520;
constexpr int kPreviewHeight = 380;

std::string SvgOpen(const std::string& plane, std::size_t points) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"preview-svg\" width=\"" +
         std::to_string(kPreviewWidth) + "\" height=\"" + std::to_string(kPreviewHeight) +
         "\" viewBox=\"0 0 " + std::to_string(kPreviewWidth) + " " + std::to_string(kPreviewHeight) +
         "\" data-plane=\"" + plane + "\" data-points=\"" + std::to_string(points) +
         "\" font-family=\"sans-serif\" font-size=\"12\">\n"
         "<rect width=\"100%\" height=\"100%\" fill=\"#fbfbfd\"/>\n";
}

// A picture with only a note in it.
std::string SvgNote(const std::string& note) {
  return SvgOpen("", 0) + "<text x=\"" + std::to_string(kPreviewWidth / 2) + "\" y=\"" +
         std::to_string(kPreviewHeight / 2) + "\" text-anchor=\"middle\" fill=\"#666\">" +
         XmlText(note) + "</text>\n</svg>\n";
}

// A length near a quarter of `extent` that reads well: 1, 2 or 5 times a
// power of ten.
double ScaleLength(double extent) {
  const double target = extent / 4.0;
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  for (double f : {5.0, 2.0, 1.0})
    if (f * power <= target) return f * power;
  return power;
}

// The contour in its own plane (0 XY, 1 ZY, 2 XZ; -1: the plane the points
// lie in), fitted into the picture, with the plane's axes through the origin
// and a scale bar.
std::string PreviewSvg(const std::string& title, const Json& contour, int plane) {
  struct P {
    double h, v;
  };
  std::vector<std::array<double, 3>> xyz;
  for (const Json& p : contour.at("points")) {
    if (!p[0].is_number() || !p[1].is_number() || !p[2].is_number())
      return SvgNote(title + ": the outline has coordinates that are not finite numbers");
    xyz.push_back({p[0].get<double>(), p[1].get<double>(), p[2].get<double>()});
  }
  if (xyz.empty()) return SvgNote(title + ": the outline has no points");
  if (plane < 0 || plane > 2) {
    const auto zero = [&](int k) {
      return std::all_of(xyz.begin(), xyz.end(), [&](const auto& p) { return p[k] == 0.0; });
    };
    plane = zero(0) && !zero(2) ? 1 : zero(1) && !zero(2) ? 2 : 0;
  }
  static const char* const kPlaneNames[] = {"XY", "ZY", "XZ"};
  static const int kH[] = {0, 2, 0}, kV[] = {1, 1, 2};
  const std::string hName(1, kPlaneNames[plane][0]), vName(1, kPlaneNames[plane][1]);
  std::vector<P> pts;
  for (const auto& p : xyz) pts.push_back({p[kH[plane]], p[kV[plane]]});
  double minH = pts[0].h, maxH = minH, minV = pts[0].v, maxV = minV;
  for (const P& p : pts) {
    minH = std::min(minH, p.h);
    maxH = std::max(maxH, p.h);
    minV = std::min(minV, p.v);
    maxV = std::max(maxV, p.v);
  }
  const double extent = std::max({maxH - minH, maxV - minV, 1e-9});
  const double margin = 40.0;
  const double scale = std::min((kPreviewWidth - 2 * margin) / std::max(maxH - minH, extent / 100),
                                (kPreviewHeight - 2 * margin - 20) / std::max(maxV - minV, extent / 100));
  const double cx = (minH + maxH) / 2, cv = (minV + maxV) / 2;
  const auto px = [&](double h) { return kPreviewWidth / 2.0 + (h - cx) * scale; };
  const auto py = [&](double v) { return (kPreviewHeight - 20) / 2.0 - (v - cv) * scale; };

  std::string svg = SvgOpen(kPlaneNames[plane], pts.size());
  // The axes through the origin, where it is in view.
  const double ox = px(0.0), oy = py(0.0);
  svg += "<g stroke=\"#9aa5b1\" stroke-width=\"1\">\n";
  if (ox >= 0 && ox <= kPreviewWidth)
    svg += "<line id=\"axis-v\" x1=\"" + Num(ox) + "\" y1=\"0\" x2=\"" + Num(ox) + "\" y2=\"" +
           std::to_string(kPreviewHeight) + "\"/>\n";
  if (oy >= 0 && oy <= kPreviewHeight)
    svg += "<line id=\"axis-h\" x1=\"0\" y1=\"" + Num(oy) + "\" x2=\"" + std::to_string(kPreviewWidth) +
           "\" y2=\"" + Num(oy) + "\"/>\n";
  svg += "</g>\n<g fill=\"#52606d\">\n";
  if (oy >= 0 && oy <= kPreviewHeight)
    svg += "<text x=\"" + std::to_string(kPreviewWidth - 26) + "\" y=\"" + Num(oy - 4) + "\">+" + hName +
           "</text>\n";
  if (ox >= 0 && ox <= kPreviewWidth)
    svg += "<text x=\"" + Num(ox + 4) + "\" y=\"36\">+" + vName + "</text>\n";
  svg += "</g>\n";
  // The outline.
  std::string d;
  for (std::size_t i = 0; i < pts.size(); ++i)
    d += (i == 0 ? "M" : " L") + Num(px(pts[i].h)) + "," + Num(py(pts[i].v));
  if (contour.value("closed", false)) d += " Z";
  svg += "<path id=\"outline\" d=\"" + d + "\" fill=\"" +
         std::string(contour.value("closed", false) ? "#cfe3f7" : "none") +
         "\" stroke=\"#1d4f80\" stroke-width=\"1.5\" stroke-linejoin=\"round\"/>\n";
  // The points, small.
  svg += "<g fill=\"#1d4f80\">";
  for (const P& p : pts) svg += "<circle cx=\"" + Num(px(p.h)) + "\" cy=\"" + Num(py(p.v)) + "\" r=\"1.6\"/>";
  svg += "</g>\n";
  // Scale bar and title.
  const double bar = ScaleLength(extent);
  const double barPx = bar * scale;
  const double by = kPreviewHeight - 12.0;
  svg += "<g id=\"scale\" stroke=\"#323f4b\" stroke-width=\"2\"><line x1=\"12\" y1=\"" + Num(by) +
         "\" x2=\"" + Num(12 + barPx) + "\" y2=\"" + Num(by) + "\"/>" + "<line x1=\"12\" y1=\"" +
         Num(by - 4) + "\" x2=\"12\" y2=\"" + Num(by + 4) + "\"/><line x1=\"" + Num(12 + barPx) +
         "\" y1=\"" + Num(by - 4) + "\" x2=\"" + Num(12 + barPx) + "\" y2=\"" + Num(by + 4) +
         "\"/></g>\n<text x=\"" + Num(18 + barPx) + "\" y=\"" + Num(by + 4) + "\" fill=\"#323f4b\">" +
         FormatDouble(bar) + " units</text>\n";
  svg += "<text id=\"preview-title\" x=\"12\" y=\"18\" fill=\"#323f4b\">" + XmlText(title) + " · plane " +
         kPlaneNames[plane] + " · " + std::to_string(pts.size()) + " points</text>\n</svg>\n";
  return svg;
}

// --- HTTP helpers -------------------------------------------------------------------

void SendJson(httplib::Response& res, int status, const Json& body) {
  res.status = status;
  res.set_content(JsonText(body), "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& message) {
  SendJson(res, status, Json{{"ok", false}, {"error", message}});
}

// The media type of a request without its parameters, in lower case.
std::string MediaType(const httplib::Request& req) {
  std::string type = req.get_header_value("Content-Type");
  type = type.substr(0, type.find(';'));
  while (!type.empty() && type.back() == ' ') type.pop_back();
  std::transform(type.begin(), type.end(), type.begin(), [](unsigned char ch) { return std::tolower(ch); });
  return type;
}

// Requests that change the host must say what they send; a type other than
// the three a plain form may send also keeps other sites' pages from posting
// to the workbench without asking first.
bool CheckType(const httplib::Request& req, httplib::Response& res, const char* expected) {
  if (MediaType(req) == expected) return true;
  SendError(res, 415, std::string("send the body as ") + expected);
  return false;
}

bool IsLoopbackName(const std::string& host) {
  return host == "127.0.0.1" || host == "localhost" || host == "[::1]" || host == "::1" ||
         host.rfind("127.", 0) == 0;
}

// The host name of a Host header, without the port.
std::string HostName(const std::string& header) {
  if (!header.empty() && header[0] == '[') return header.substr(0, header.find(']') + 1);
  return header.substr(0, header.find(':'));
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

bool ReadBytes(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *bytes = all.str();
  return true;
}

// A file name made of an object's name: letters, digits, '-', '_' and '.'.
std::string SafeFileName(const std::string& name, const char* suffix) {
  std::string out;
  for (unsigned char ch : name) out += std::isalnum(ch) || ch == '-' || ch == '_' ? static_cast<char>(ch) : '_';
  if (out.empty()) out = "arrow";
  return out + suffix;
}

void SendFile(httplib::Response& res, const std::string& bytes, const std::string& type,
              const std::string& name) {
  res.status = 200;
  res.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
  res.set_content(bytes, type.c_str());
}

// A message about a file of the server's private folder, with the file
// named as the person who sent it knows it.
std::string Unpath(std::string message, const std::string& file, const std::string& name) {
  for (std::size_t at = message.find(file); at != std::string::npos; at = message.find(file, at + name.size()))
    message.replace(at, file.size(), name);
  return message;
}

// The name an upload was sent with (?name=), for messages only.
std::string UploadName(const httplib::Request& req, const char* fallback) {
  std::string name = req.get_param_value("name");
  name = name.substr(name.find_last_of("/\\") == std::string::npos ? 0 : name.find_last_of("/\\") + 1);
  if (name.empty() || name.size() > 200) return fallback;
  return name;
}

// What one console line did.
struct LineResult {
  bool ok = true;
  int status = kScriptOk;
  std::string error;
  std::string printed;
};

int HttpStatus(const LineResult& r) { return r.ok ? 200 : r.status == kScriptFailed ? 422 : 400; }

}  // namespace

// -----------------------------------------------------------------------------

struct Workbench::Impl {
  explicit Impl(const ServeOptions& o) : options(o) {}

  ServeOptions options;
  HostThread hostThread;
  httplib::Server server;
  std::thread listener;
  int port = 0;
  bool started = false;
  bool stopped = false;
  std::string tempDir;

  // Used on the host thread only.
  std::ostringstream out;
  std::unique_ptr<ScriptConsole> console;
  std::deque<Json> log;

  // --- on the host thread ---

  LineResult Line(const std::string& line, bool logged = true) {
    out.str("");
    out.clear();
    ScriptError e;
    LineResult r;
    r.ok = console->Execute(line, &e);
    if (!r.ok) {
      r.status = e.status;
      r.error = e.message;
    }
    r.printed = out.str();
    out.str("");
    if (logged) Log(line, r);
    return r;
  }

  void Log(const std::string& line, const LineResult& r) {
    Json entry{{"command", line}, {"ok", r.ok}, {"printed", PrintedJson(r.printed)}};
    if (!r.ok) entry["error"] = r.error;
    log.push_back(entry);
    while (log.size() > kLogEntries) log.pop_front();
  }

  // The one document a print line wrote; null JSON when it failed.
  Json Printed(const std::string& line, std::string* error = nullptr) {
    const LineResult r = Line(line, false);
    if (!r.ok) {
      if (error != nullptr) *error = r.error;
      return nullptr;
    }
    const Json docs = PrintedJson(r.printed);
    return docs.empty() ? Json(nullptr) : docs.front();
  }

  // Whether a request may run this line; the reason (and the HTTP status)
  // when not. Commands that name files on the server are not open to
  // requests: files travel by upload and download.
  bool Allowed(const std::vector<std::string>& words, int* status, std::string* reason) {
    static const std::set<std::string> kOpen = {"arrow", "object", "move",  "select", "set",     "press",
                                                "doc",   "undo",   "redo",  "fail",   "print",   "userdata",
                                                "gui",   "dialog"};
    const std::string& word = words[0];
    const std::vector<std::string> known = console->CommandWords();
    if (std::find(known.begin(), known.end(), word) == known.end()) {
      *status = 400;
      *reason = "unknown command " + Quoted(word);
      return false;
    }
    *status = 403;
    if (word == "plugin") {
      *reason = "'plugin' is not open to requests: the server loaded its plug-in when it started";
      return false;
    }
    if (word == "save-scene" || word == "load-scene") {
      *reason = Quoted(word) + " names a file on the server: download the scene with GET /api/scene "
                               "and upload one with POST /api/scene";
      return false;
    }
    if (word == "dialog" && !(words.size() == 2 && words[1] == "cancel")) {
      *reason = "'dialog PATH' names a file on the server: only 'dialog cancel' is open to requests; "
                "presets travel by POST /api/preset/save and /api/preset/load";
      return false;
    }
    if (word == "gui" && words.size() >= 2 && words[1] == "png") {
      *reason = "'gui png' names a file on the server: the field's picture is GET /api/dots.png";
      return false;
    }
    if (kOpen.count(word) == 0) {
      *reason = Quoted(word) + " is not open to requests";
      return false;
    }
    return true;
  }

  Json State() {
    Json state{{"release", console->LoadedSession()->Release()}, {"arrow_type", kArrowType}};
    state["tree"] = Printed("print tree");
    state["selection"] = Printed("print selection");
    const Json undo = Printed("print undo");
    state["undo"] = Json{{"undo", undo.at("undo").size()}, {"redo", undo.at("redo").size()}};
    state["console"] = Printed("print console");
    state["boxes"] = Printed("print boxes");
    state["dialogs"] = Printed("print dialogs");
    std::string guiError;
    state["gui"] = Printed("print gui", &guiError);
    state["gui_error"] = state["gui"].is_null() ? Json(guiError) : Json(nullptr);
    Json active = nullptr;
    if (const Object* op = console->LoadedSession()->Doc()->Active()) {
      const std::string path = PathOf(op);
      active = Json{{"path", path}, {"name", op->Name()}, {"type", op->Type()},
                    {"arrow", console->IsArrow(op)}};
      active["userdata"] = Printed("print userdata " + Word(path));
      active["params"] = Printed("print params " + Word(path));
      if (console->IsArrow(op)) active["editor"] = Printed("print editor " + Word(path));
    }
    state["active"] = active;
    state["log"] = Json(std::vector<Json>(log.begin(), log.end()));
    return state;
  }

  // --- HTTP handlers (on the server's threads) ---

  // Runs `job` on the host thread; answers 503 when the host is shutting down.
  bool OnHost(httplib::Response& res, const std::function<void()>& job) {
    if (hostThread.Run(job)) return true;
    SendError(res, 503, "the workbench is shutting down");
    return false;
  }

  void Command(const httplib::Request& req, httplib::Response& res) {
    if (!CheckType(req, res, "application/json")) return;
    if (req.body.size() > kMaxCommandBody) return SendError(res, 413, "a command is at most 64 KiB");
    const Json body = Json::parse(req.body, nullptr, false);
    if (body.is_discarded()) return SendError(res, 400, "the body is not JSON");
    if (!body.is_object() || !body.contains("command") || !body["command"].is_string())
      return SendError(res, 400, "expected {\"command\": \"a console line\"}");
    const std::string line = body["command"].get<std::string>();
    if (line.find_first_of(std::string("\n\0", 2)) != std::string::npos)
      return SendError(res, 400, "one console line a request: the command holds a line break");
    std::vector<std::string> words;
    std::string splitError;
    if (!ScriptConsole::SplitLine(line, &words, &splitError)) return SendError(res, 400, splitError);
    if (words.empty()) return SendError(res, 400, "the command is empty");
    OnHost(res, [&] {
      int status = 0;
      std::string reason;
      if (!Allowed(words, &status, &reason)) return SendError(res, status, reason);
      const LineResult r = Line(line);
      Json answer{{"ok", r.ok}, {"command", line}, {"printed", PrintedJson(r.printed)}};
      if (!r.ok) {
        answer["error"] = r.error;
        answer["status"] = r.status;
      }
      SendJson(res, HttpStatus(r), answer);
    });
  }

  void Preview(const httplib::Request& req, httplib::Response& res) {
    OnHost(res, [&] {
      std::string path = req.get_param_value("object");
      if (path.empty()) {
        const Object* op = console->LoadedSession()->Doc()->Active();
        if (op == nullptr) {
          res.set_content(SvgNote("Select an arrow to see its outline"), "image/svg+xml");
          return;
        }
        path = PathOf(op);
      }
      std::string error;
      const Json contour = Printed("print contour " + Word(path), &error);
      if (!error.empty()) return SendError(res, 400, error);
      if (contour.is_null()) {
        res.set_content(SvgNote(path + " has no outline"), "image/svg+xml");
        return;
      }
      int plane = -1;
      const Json editor = Printed("print editor " + Word(path));
      if (editor.is_object())
        for (const Json& p : editor["params"])
          if (p["name"] == "ARROW_PLANE" && p["value"].is_number_integer()) plane = p["value"].get<int>();
      res.set_content(PreviewSvg(path, contour, plane), "image/svg+xml");
    });
  }

  void DotsPng(httplib::Response& res) {
    OnHost(res, [&] {
      const std::string file = tempDir + "/field.png";
      LineResult r = Line("gui png " + Word(file), false);
      std::string bytes;
      const bool read = r.ok && ReadBytes(file, &bytes);
      std::filesystem::remove(file);
      r.error = Unpath(r.error, file, "the field's picture");
      if (!r.ok) return SendError(res, r.status == kScriptFailed ? 422 : 409, r.error);
      if (!read) return SendError(res, 500, "the field's picture could not be read back");
      res.set_content(bytes, "image/png");
    });
  }

  void SceneDownload(httplib::Response& res) {
    OnHost(res, [&] {
      const std::string file = tempDir + "/scene.tlvscene";
      LineResult r = Line("save-scene " + Word(file), false);
      std::string bytes;
      const bool read = r.ok && ReadBytes(file, &bytes);
      std::filesystem::remove(file);
      r.error = Unpath(r.error, file, "the scene file");
      Log("save-scene (download)", r);
      if (!r.ok) return SendError(res, 422, r.error);
      if (!read) return SendError(res, 500, "the scene could not be read back");
      SendFile(res, bytes, "application/octet-stream", "scene.tlvscene");
    });
  }

  void SceneUpload(const httplib::Request& req, httplib::Response& res) {
    if (!CheckType(req, res, "application/octet-stream")) return;
    OnHost(res, [&] {
      const std::string file = tempDir + "/upload.tlvscene";
      if (!WriteBytes(file, req.body)) return SendError(res, 500, "the upload could not be stored");
      LineResult r = Line("load-scene " + Word(file), false);
      std::filesystem::remove(file);
      const std::string name = UploadName(req, "the uploaded scene");
      r.error = Unpath(r.error, file, name);
      Log("load-scene " + Word(name) + " (upload of " + std::to_string(req.body.size()) + " bytes)", r);
      if (!r.ok) return SendError(res, 422, r.error);
      SendJson(res, 200, Json{{"ok", true}});
    });
  }

  // The arrow a preset request names (by its "object"), or an answer 400.
  Object* PresetTarget(const std::string& path, httplib::Response& res) {
    if (path.empty()) {
      SendError(res, 400, "name the arrow: \"object\"");
      return nullptr;
    }
    ScriptError e;
    Object* op = FindArrow(*console, path, &e);
    if (op == nullptr) SendError(res, 400, e.message);
    return op;
  }

  void PresetSave(const httplib::Request& req, httplib::Response& res) {
    if (!CheckType(req, res, "application/json")) return;
    const Json body = Json::parse(req.body, nullptr, false);
    if (body.is_discarded() || !body.is_object() || !body.contains("object") || !body["object"].is_string())
      return SendError(res, 400, "expected {\"object\": \"the arrow's name\"}");
    const std::string path = body["object"].get<std::string>();
    OnHost(res, [&] {
      Object* op = PresetTarget(path, res);
      if (op == nullptr) return;
      const std::string file = tempDir + "/preset.tlv";
      std::string written, error, bytes;
      ClearDialogQueue();
      const bool saved = console->LoadedSession()->SavePreset(op, file, &written, &error);
      const bool read = saved && ReadBytes(written, &bytes);
      if (saved) std::filesystem::remove(written);
      LineResult r;
      r.ok = saved;
      r.error = Unpath(error, file, "the preset file");
      Log("press " + Word(path) + " ARROW_SAVE_PRESET (download)", r);
      if (!saved) return SendError(res, 422, Unpath(error, file, "the preset file"));
      if (!read) return SendError(res, 500, "the preset could not be read back");
      SendFile(res, bytes, "application/octet-stream", SafeFileName(op->Name(), ".tlv"));
    });
  }

  void PresetLoad(const httplib::Request& req, httplib::Response& res) {
    if (!CheckType(req, res, "application/octet-stream")) return;
    const std::string path = req.get_param_value("object");
    OnHost(res, [&] {
      Object* op = PresetTarget(path, res);
      if (op == nullptr) return;
      const std::string file = tempDir + "/upload.tlv";
      if (!WriteBytes(file, req.body)) return SendError(res, 500, "the upload could not be stored");
      std::string error;
      ClearDialogQueue();
      LineResult r;
      r.ok = console->LoadedSession()->LoadPreset(op, file, &error);
      std::filesystem::remove(file);
      const std::string name = UploadName(req, "the uploaded preset");
      if (!r.ok) r.error = "the preset " + name + " could not be loaded; the arrow is unchanged";
      Log("press " + Word(path) + " ARROW_LOAD_PRESET (" + Word(name) + ", " + std::to_string(req.body.size()) +
              " bytes)",
          r);
      if (!r.ok) return SendError(res, 422, r.error);
      SendJson(res, 200, Json{{"ok", true}});
    });
  }

  void Routes() {
    server.set_payload_max_length(kServeMaxBody);
    // A port another server listens on is refused, not shared (the
    // library's default would share it with SO_REUSEPORT).
    server.set_socket_options([](socket_t sock) {
      int yes = 1;
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_timeout(2);
    server.set_read_timeout(10);
    server.set_default_headers({{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});
    // A page of another site reached through a name of its own that points
    // here is refused: a loopback server answers loopback names only.
    if (IsLoopbackName(options.bind)) {
      server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        const std::string host = HostName(req.get_header_value("Host"));
        if (host.empty() || IsLoopbackName(host)) return httplib::Server::HandlerResponse::Unhandled;
        SendError(res, 403, "this workbench answers requests to a loopback address only");
        return httplib::Server::HandlerResponse::Handled;
      });
    }
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& res) {
      if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
      const char* message = res.status == 404   ? "no such endpoint"
                            : res.status == 413 ? "the body is larger than the workbench takes (4 MiB)"
                            : res.status == 405 ? "method not allowed"
                                                : "bad request";
      SendError(res, res.status, message);
      return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
      std::string what = "internal error";
      try {
        if (ep) std::rethrow_exception(ep);
      } catch (const std::exception& ex) {
        what += std::string(": ") + ex.what();
      } catch (...) {
      }
      SendError(res, 500, what);
    });

    server.Post("/api/command", [this](const httplib::Request& q, httplib::Response& r) { Command(q, r); });
    server.Get("/api/state", [this](const httplib::Request&, httplib::Response& r) {
      OnHost(r, [&] { SendJson(r, 200, State()); });
    });
    server.Get("/api/description", [this](const httplib::Request&, httplib::Response& r) {
      OnHost(r, [&] { SendJson(r, 200, Printed("print description")); });
    });
    server.Get("/api/preview.svg", [this](const httplib::Request& q, httplib::Response& r) { Preview(q, r); });
    server.Get("/api/dots.png", [this](const httplib::Request&, httplib::Response& r) { DotsPng(r); });
    server.Get("/api/scene", [this](const httplib::Request&, httplib::Response& r) { SceneDownload(r); });
    server.Post("/api/scene", [this](const httplib::Request& q, httplib::Response& r) { SceneUpload(q, r); });
    server.Post("/api/preset/save", [this](const httplib::Request& q, httplib::Response& r) { PresetSave(q, r); });
    server.Post("/api/preset/load", [this](const httplib::Request& q, httplib::Response& r) { PresetLoad(q, r); });
    server.Get("/.*", [](const httplib::Request& q, httplib::Response& r) {
      const std::string path = q.path == "/" ? "/index.html" : q.path;
      for (std::size_t i = 0; i < kWebAssetCount; ++i) {
        if (path != kWebAssets[i].path) continue;
        r.set_content(reinterpret_cast<const char*>(kWebAssets[i].data), kWebAssets[i].size,
                      kWebAssets[i].contentType);
        return;
      }
      SendError(r, 404, "no such page: " + q.path);
    });
  }

  void RemoveTempDir() {
    if (tempDir.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(tempDir, ec);
    tempDir.clear();
  }
};

Workbench::Workbench(const ServeOptions& options) : impl_(std::make_unique<Impl>(options)) {}

Workbench::~Workbench() {
  if (impl_->started && !impl_->stopped) Stop(nullptr);
  impl_->RemoveTempDir();
}

int Workbench::Port() const { return impl_->port; }

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
  // The address first: a port in use is found before the plug-in is loaded.
  std::string reason;
  w.Routes();
  if (w.options.port == 0) {
    w.port = w.server.bind_to_any_port(w.options.bind);
    if (w.port <= 0) reason = "cannot bind " + w.options.bind + " to a free port";
  } else if (w.server.bind_to_port(w.options.bind, w.options.port)) {
    w.port = w.options.port;
  } else {
    reason = "cannot bind " + w.options.bind + ":" + std::to_string(w.options.port) +
             " (in use, or not an address of this machine)";
  }
  if (reason.empty()) {
    w.hostThread.Start();
    w.hostThread.Run([&] {
      w.console = std::make_unique<ScriptConsole>(w.out, w.options.extensions);
      w.console->AddPrint("editor", {"print editor NAME", 1, 1, PrintEditor});
      w.console->AddPrint("description", {"print description", 0, 0, PrintDescription});
      w.console->AddPrint("userdata", {"print userdata NAME", 1, 1, PrintUserData});
      SessionOptions session;
      session.release = w.options.release;
      session.pluginDir = w.options.pluginDir;
      ScriptError e;
      if (w.console->ChoosePlugin(session, &e) && w.console->GetSession(&e) != nullptr) return;
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
  w.listener = std::thread([&w] { w.server.listen_after_bind(); });
  return true;
}

bool Workbench::Stop(std::string* findings) {
  Impl& w = *impl_;
  if (!w.started || w.stopped) return true;
  w.stopped = true;
  w.server.stop();
  if (w.listener.joinable()) w.listener.join();
  bool clean = true;
  std::string report;
  w.hostThread.Run([&] {
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
