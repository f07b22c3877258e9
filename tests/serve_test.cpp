// The workbench server through HTTP: its API runs console commands on the
// loaded module as a script would, refuses bad requests without changing
// anything, carries files by upload and download only, and serialises
// concurrent requests onto one host thread. Each test ends with the host's
// shutdown and its check for leaks and misuse (Workbench::Stop).
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "fixture.h"
#include "gui.h"
#include "mesh_console.h"
#include "png_codec.h"
#include "recovery.h"
#include "script.h"
#include "serve.h"

namespace {

using host::Json;

class ServeTest : public ::testing::Test {
 protected:
  void Begin(int release) {
    host::ServeOptions options;
    options.release = release;
    options.port = 0;
    options.stateDir = state_.Path();  // a recovery copy of its own
    bench_ = std::make_unique<host::Workbench>(options);
    std::string error;
    ASSERT_TRUE(bench_->Start(&error)) << error;
    client_ = std::make_unique<httplib::Client>("127.0.0.1", bench_->Port());
    client_->set_read_timeout(30, 0);
  }
  void SetUp() override { Begin(16); }
  void TearDown() override { End(); }
  // Stops the server and checks the host's shutdown report.
  void End() {
    if (bench_ == nullptr) return;
    client_.reset();
    std::string findings;
    EXPECT_TRUE(bench_->Stop(&findings)) << findings;
    bench_.reset();
  }

  static Json Body(const httplib::Result& r) {
    if (!r) return nullptr;
    return Json::parse(r->body, nullptr, false);
  }
  // Runs a console line; expects `status` and answers the printed documents.
  Json Command(const std::string& line, int status = 200) {
    const auto r = client_->Post("/api/command", JsonText(Json{{"command", line}}), "application/json");
    EXPECT_TRUE(r) << line;
    if (!r) return nullptr;
    EXPECT_EQ(r->status, status) << line << ": " << r->body;
    const Json body = Body(r);
    return body.is_object() && body.contains("printed") ? body["printed"] : body;
  }
  Json Printed(const std::string& line) {
    const Json printed = Command(line);
    EXPECT_EQ(printed.size(), 1u) << line;
    return printed.empty() ? Json(nullptr) : printed[0];
  }
  Json State() {
    const auto r = client_->Get("/api/state");
    EXPECT_TRUE(r && r->status == 200);
    Json state = r ? Body(r) : Json(nullptr);
    if (state.is_object()) state.erase("log");  // what was asked, not what the host holds
    return state;
  }
  // The outline's path in the preview of an object.
  std::string PreviewPath(const std::string& object) {
    const auto r = client_->Get("/api/preview.svg?object=" + object);
    EXPECT_TRUE(r && r->status == 200);
    if (!r) return "";
    EXPECT_EQ(r->get_header_value("Content-Type"), "image/svg+xml");
    const std::size_t at = r->body.find("id=\"outline\" d=\"");
    if (at == std::string::npos) return "";
    const std::size_t from = at + 16;
    return r->body.substr(from, r->body.find('"', from) - from);
  }
  // The enabling of every parameter of the selected arrow, by name.
  std::map<std::string, bool> Enabled() {
    std::map<std::string, bool> out;
    const Json state = State();
    for (const Json& p : state["active"]["editor"]["params"]) out[p["name"]] = p["enabled"];
    return out;
  }
  static std::string JsonText(const Json& j) { return host::JsonText(j); }

  testkit::TempDir state_;
  std::unique_ptr<host::Workbench> bench_;
  std::unique_ptr<httplib::Client> client_;
};

class ServeReleaseTest : public ServeTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override { Begin(GetParam()); }
};

// The page's actions are console lines: what they print through the API is
// what the same lines print in a script (but for `print messages`: the page's
// previews ask for outlines in between), and the page reads the editor's
// enabling and the outline's preview from the same host. The page itself is
// served from the program, byte for byte the files of web/.
TEST_P(ServeReleaseTest, CommandsPrintWhatAScriptPrintsAndThePageSeesTheirEffects) {
  const std::vector<std::string> lines = {
      "arrow Arrow menu",
      "object spline Path",
      "select Arrow",
      "set Arrow ARROW_SHAFT_LENGTH 250",
      "print contour Arrow",
      "set Arrow ARROW_DOUBLE_HEADED true",
      "print params Arrow",
      "set Arrow ARROW_CLONE_SPLINE Path",
      "press Arrow ARROW_MAKE_EXTRUDE",
      "print tree",
      "undo",
      "print tree",
      "redo",
      "print undo",
      "print selection",
      "print console",
      "print boxes",
  };
  std::string viaApi;
  std::string pathBefore;
  std::map<std::string, bool> single;
  for (const std::string& line : lines) {
    if (line == "set Arrow ARROW_SHAFT_LENGTH 250") pathBefore = PreviewPath("Arrow");
    if (line == "set Arrow ARROW_DOUBLE_HEADED true") single = Enabled();
    for (const Json& doc : Command(line)) viaApi += host::JsonText(doc) + "\n";
    if (line == "set Arrow ARROW_SHAFT_LENGTH 250") {
      EXPECT_FALSE(pathBefore.empty());
      EXPECT_NE(PreviewPath("Arrow"), pathBefore) << "the preview follows the shaft length";
    }
    if (line == "set Arrow ARROW_DOUBLE_HEADED true") {
      const std::map<std::string, bool> now = Enabled();
      for (const char* name : {"ARROW_SHAFT_LENGTH", "ARROW_SHAFT_WIDTH"}) {
        EXPECT_TRUE(single.at(name)) << name;
        EXPECT_FALSE(now.at(name)) << name << " is disabled for a double-headed arrow";
      }
      for (const char* name : {"ARROW_DOUBLE_SHAFT_LENGTH", "ARROW_DOUBLE_SHAFT_WIDTH"}) {
        EXPECT_FALSE(single.at(name)) << name;
        EXPECT_TRUE(now.at(name)) << name;
      }
    }
    if (line == "press Arrow ARROW_MAKE_EXTRUDE") {
      const Json tree = State()["tree"];
      ASSERT_EQ(tree.size(), 2u) << tree;
      EXPECT_EQ(tree[0]["type"], Oextrude) << tree;
      EXPECT_EQ(tree[0]["children"][0]["name"], "Arrow") << tree;
    }
  }
  EXPECT_EQ(Body(client_->Get("/api/state"))["undo"], (Json{{"undo", 6}, {"redo", 0}}));

  // Every file of the page (web/'s .html, .js and .css, its modules too),
  // as web/ holds it.
  std::size_t pageFiles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(TOLVANE_SOURCE_DIR) + "/web")) {
    const std::string file = entry.path().filename().string(), ext = entry.path().extension().string();
    if (ext != ".html" && ext != ".js" && ext != ".css") continue;
    ++pageFiles;
    const auto r = client_->Get("/" + file);
    ASSERT_TRUE(r && r->status == 200) << file;
    EXPECT_EQ(r->body, testkit::ReadFileBytes(entry.path().string())) << file;
  }
  EXPECT_GE(pageFiles, 4u);  // index.html, app.js, view3d.js, style.css at least
  // three.js as the lock file pins it, from the npm registry.
  for (const auto& [served, file] : std::vector<std::pair<std::string, std::string>>{
           {"/vendor/three.module.js", "build/three.module.js"},
           {"/vendor/three.core.js", "build/three.core.js"},
           {"/vendor/OrbitControls.js", "examples/jsm/controls/OrbitControls.js"}}) {
    const auto r = client_->Get(served);
    ASSERT_TRUE(r && r->status == 200) << served;
    EXPECT_EQ(r->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
    EXPECT_EQ(r->body, testkit::ReadFileBytes(std::string(TOLVANE_SOURCE_DIR) + "/web/node_modules/three/" + file));
  }
  const auto root = client_->Get("/");
  ASSERT_TRUE(root);
  EXPECT_NE(root->body.find("<title>Tolvane workbench</title>"), std::string::npos);
  EXPECT_EQ(root->get_header_value("Content-Type"), "text/html; charset=utf-8");
  End();

  std::string script;
  for (const std::string& line : lines) script += line + "\n";
  std::istringstream in("plugin release " + std::to_string(GetParam()) + "\n" + script);
  std::ostringstream out, err;
  EXPECT_EQ(host::RunScript(in, "api.script", out, err), host::kScriptOk) << err.str();
  EXPECT_EQ(viaApi, out.str());
}

INSTANTIATE_TEST_SUITE_P(Releases, ServeReleaseTest, ::testing::Values(16, 12));

// Bad requests are answered 4xx with a JSON error and change nothing; no
// request reaches a file of the server by its name.
TEST_F(ServeTest, BadRequestsAreRefusedWithAJsonErrorAndChangeNothing) {
  testkit::TempDir dir;
  const std::string file = dir.File("x");
  for (const char* line : {"arrow A", "object null N", "select A", "set A ARROW_SHAFT_LENGTH 123"}) Command(line);
  const Json before = State();

  struct Case {
    const char* what;
    std::string method, path, type, body;
    int status;
    const char* error;  // a part of the message
  };
  const auto command = [](const std::string& line) { return host::JsonText(Json{{"command", line}}); };
  const std::string big(host::kServeMaxBody + 1, 'x');
  const std::vector<Case> cases = {
      {"unknown command", "POST", "/api/command", "application/json", command("frobnicate A"), 400,
       "unknown command 'frobnicate'"},
      {"unknown object", "POST", "/api/command", "application/json", command("set Nobody ARROW_SHAFT_LENGTH 5"),
       400, "no object 'Nobody'"},
      {"unknown parameter", "POST", "/api/command", "application/json", command("set A ARROW_NOTHING 5"), 400,
       "unknown parameter"},
      {"bad value", "POST", "/api/command", "application/json", command("set A ARROW_SHAFT_LENGTH much"), 400,
       "bad value"},
      {"unterminated quote", "POST", "/api/command", "application/json", command("select \"A"), 400,
       "unterminated quote"},
      {"two lines", "POST", "/api/command", "application/json", command("arrow B\narrow C"), 400, "line break"},
      {"empty", "POST", "/api/command", "application/json", command("  # nothing"), 400, "empty"},
      {"malformed JSON", "POST", "/api/command", "application/json", "{\"command\": \"arrow B\"", 400,
       "not JSON"},
      {"JSON without a command", "POST", "/api/command", "application/json", "[\"arrow B\"]", 400,
       "expected {\"command\""},
      {"command not a text", "POST", "/api/command", "application/json", "{\"command\": 7}", 400,
       "expected {\"command\""},
      {"log not a switch", "POST", "/api/command", "application/json", "{\"command\": \"arrow B\", \"log\": \"no\"}",
       400, "\"log\" must be true or false"},
      {"not JSON at all", "POST", "/api/command", "text/plain", "arrow B", 415, "application/json"},
      {"plugin", "POST", "/api/command", "application/json", command("plugin " + dir.Path()), 403,
       "not open to requests"},
      {"plugin release", "POST", "/api/command", "application/json", command("plugin release 12"), 403,
       "not open to requests"},
      {"dialog PATH", "POST", "/api/command", "application/json", command("dialog " + file), 403,
       "names a file"},
      {"save-scene", "POST", "/api/command", "application/json", command("save-scene " + file), 403,
       "names a file"},
      {"load-scene", "POST", "/api/command", "application/json", command("load-scene " + file), 403,
       "names a file"},
      {"gui png", "POST", "/api/command", "application/json", command("gui png " + file), 403, "names a file"},
      {"nothing to redo", "POST", "/api/command", "application/json", command("redo"), 400, "nothing to redo"},
      {"oversized command", "POST", "/api/command", "application/json", big, 413, "larger"},
      {"oversized scene", "POST", "/api/scene", "application/octet-stream", big, 413, "larger"},
      {"long command", "POST", "/api/command", "application/json", command(std::string(70000, 'a')), 413,
       "at most"},
      {"scene as text", "POST", "/api/scene", "text/plain", "TLVSCENE", 415, "octet-stream"},
      {"preset of an unknown arrow", "POST", "/api/preset/save", "application/json", "{\"object\":\"Nobody\"}",
       400, "no object"},
      {"preset of a null", "POST", "/api/preset/save", "application/json", "{\"object\":\"N\"}", 400,
       "not an arrow"},
      {"preset into nothing named", "POST", "/api/preset/load", "application/octet-stream", "x", 400,
       "name the arrow"},
      {"preview of an unknown object", "GET", "/api/preview.svg?object=Nobody", "", "", 400, "no object"},
      {"no element open", "GET", "/api/dots.png", "", "", 409, "no interface element"},
      {"unknown endpoint", "GET", "/api/nothing", "", "", 404, "no such page"},
      {"unknown endpoint, posted", "POST", "/api/nothing", "application/json", "{}", 404, "no such endpoint"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto r = c.method == "GET" ? client_->Get(c.path) : client_->Post(c.path, c.body, c.type.c_str());
    ASSERT_TRUE(r) << httplib::to_string(r.error());
    EXPECT_EQ(r->status, c.status) << r->body;
    EXPECT_EQ(r->get_header_value("Content-Type"), "application/json");
    const Json body = Body(r);
    ASSERT_TRUE(body.is_object() && body.contains("error") && body["error"].is_string()) << r->body;
    EXPECT_NE(body["error"].get<std::string>().find(c.error), std::string::npos) << body["error"];
    EXPECT_EQ(State(), before);
    EXPECT_FALSE(std::filesystem::exists(file));
  }

  // A name that is not a loopback address (a page of another site whose
  // name was pointed here) is refused.
  httplib::Headers foreign = {{"Host", "example.test"}};
  const auto r = client_->Post("/api/command", foreign, command("arrow B"), "application/json");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 403);
  EXPECT_EQ(State(), before);

  // A second server cannot take the same port; it says so before it loads
  // anything.
  host::ServeOptions same;
  same.port = bench_->Port();
  same.stateDir = "-";
  std::ostringstream out, err;
  EXPECT_EQ(host::Serve(same, out, err), 1);
  EXPECT_NE(err.str().find("cannot bind 127.0.0.1:" + std::to_string(same.port)), std::string::npos) << err.str();
}

// Presets and scenes travel by download and upload; the module's own save
// and load buttons and the scene file's checks do the work. The Dots field
// comes as a PNG of the element's own raster.
TEST_F(ServeTest, FilesTravelByUploadAndDownload) {
  Command("arrow A");
  Command("set A ARROW_SHAFT_LENGTH 321");
  Command("set A ARROW_PRESET_NAME Sharp");
  const auto saved = client_->Post("/api/preset/save", "{\"object\":\"A\"}", "application/json");
  ASSERT_TRUE(saved && saved->status == 200);
  EXPECT_EQ(saved->get_header_value("Content-Disposition"), "attachment; filename=\"A.tlv\"");
  EXPECT_FALSE(saved->body.empty());
  const auto length = [&] { return Printed("print params A")["params"]["10000"]; };
  Command("set A ARROW_SHAFT_LENGTH 50");
  const auto loaded = client_->Post("/api/preset/load?object=A", saved->body, "application/octet-stream");
  ASSERT_TRUE(loaded && loaded->status == 200) << (loaded ? loaded->body : "");
  EXPECT_EQ(length(), 321.0);
  const auto junk = client_->Post("/api/preset/load?object=A", "not a preset", "application/octet-stream");
  ASSERT_TRUE(junk);
  EXPECT_EQ(junk->status, 422);
  EXPECT_EQ(length(), 321.0);

  // The Dots field: three clicks, three dots on the element's raster.
  Command("object null Marks");
  EXPECT_EQ(Printed("userdata Marks dots Dots")["id"], host::kUserDataFirstId);
  Command("gui open Marks Dots");
  const std::vector<std::pair<int, int>> clicks = {{20, 30}, {100, 60}, {60, 110}};
  for (const auto& [x, y] : clicks) Command("gui click " + std::to_string(x) + " " + std::to_string(y));
  const auto png = client_->Get("/api/dots.png");
  ASSERT_TRUE(png && png->status == 200);
  EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
  host::Raster raster;
  std::string error;
  ASSERT_TRUE(host::DecodePng(png->body, &raster.width, &raster.height, &raster.rgb, &error)) << error;
  for (const auto& [x, y] : clicks) EXPECT_EQ(raster.At(x, y), (host::Rgb{0, 0, 0})) << x << "," << y;
  EXPECT_EQ(raster.At(150, 15), (host::Rgb{255, 255, 255}));
  EXPECT_EQ(Printed("print gui")["points"].size(), 3u);

  // The scene: downloaded, the document changed, uploaded back.
  const auto scene = client_->Get("/api/scene");
  ASSERT_TRUE(scene && scene->status == 200);
  EXPECT_EQ(scene->body.substr(0, 8), "TLVSCENE");
  // The loaded objects are new ones: the same tree, other serials.
  const Json tree = Printed("print tree");
  Command("arrow B");
  const auto back = client_->Post("/api/scene", scene->body, "application/octet-stream");
  ASSERT_TRUE(back && back->status == 200) << (back ? back->body : "");
  EXPECT_EQ(Printed("print tree"), tree);
  EXPECT_EQ(Printed("print params Marks")["params"][std::to_string(host::kUserDataFirstId)]["points"].size(), 3u);

  // A damaged scene is refused with its message; the document stays.
  Command("arrow C");
  const Json kept = State();
  std::string damaged = scene->body;
  damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x5A);
  const auto refused = client_->Post("/api/scene?name=mine.tlvscene", damaged, "application/octet-stream");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 422);
  // The message names the file as it was sent, not the server's copy.
  EXPECT_EQ(Body(refused)["error"], "mine.tlvscene: the scene file is damaged (checksum mismatch)");
  EXPECT_EQ(State(), kept);
}

// Requests from many clients at once are run one at a time, in order, on the
// host thread: every edit lands as its own undo step and every answer is whole.
TEST_F(ServeTest, ConcurrentRequestsAreSerialisedOntoTheHostThread) {
  Command("arrow A");
  const Json before = Body(client_->Get("/api/state"))["undo"];
  constexpr int kThreads = 4, kEdits = 15;
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      httplib::Client client("127.0.0.1", bench_->Port());
      for (int i = 0; i < kEdits; ++i) {
        const std::string line = "set A ARROW_SHAFT_LENGTH " + std::to_string(100 + t * kEdits + i);
        const auto set = client.Post("/api/command", host::JsonText(Json{{"command", line}}), "application/json");
        const auto state = client.Get("/api/state");
        const auto svg = client.Get("/api/preview.svg?object=A");
        if (set && set->status == 200 && state && state->status == 200 && svg && svg->status == 200 &&
            Json::parse(state->body, nullptr, false).is_object() && svg->body.find("</svg>") != std::string::npos)
          ++good;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(good.load(), kThreads * kEdits);
  const Json after = Body(client_->Get("/api/state"))["undo"];
  EXPECT_EQ(after["undo"].get<int>() - before["undo"].get<int>(), kThreads * kEdits);
}

// Every print subject answers through the server's structured call exactly
// what it prints in a script, the same documents for the same lines (the
// host answers the same serials to the same commands).
TEST_F(ServeTest, EveryPrintSubjectAnswersAsInAScript) {
  const std::vector<std::string> setup = {
      "arrow A",
      "object spline P",
      "points P cubic 0,0,0 300,0,200 600,0,0",
      "object null N",
      "userdata N dots Marks",
      "gui open N Marks",
      "gui click 10 20",
      "set A ARROW_SHAFT_LENGTH 250",
      "press A ARROW_MAKE_EXTRUDE",
      "key A ARROW_SHAFT_LENGTH 10 300",
      "frame 5",
      "select A",
  };
  // One line a subject, with its words; every subject the console knows.
  const std::map<std::string, std::vector<std::string>> subjects = {
      {"tree", {"print tree", "print tree serials"}},
      {"params", {"print params A", "print params A names", "print params P"}},
      {"editor", {"print editor A", "print editor \"Extrude NURBS\"", "print editor P"}},
      {"description", {"print description", "print description cloner", "print description 5116"}},
      {"userdata", {"print userdata N"}},
      {"contour", {"print contour A"}},
      {"console", {"print console"}},
      {"undo", {"print undo"}},
      {"messages", {"print messages"}},
      {"boxes", {"print boxes"}},
      {"selection", {"print selection"}},
      {"dialogs", {"print dialogs"}},
      {"gui", {"print gui"}},
      {"mesh", {"print mesh \"Extrude NURBS\""}},
      {"keys", {"print keys A"}},
      {"time", {"print time"}},
  };
  host::ScriptConsole probe({&host::mesh::AddMeshCommands});
  std::vector<std::string> known;
  for (const auto& entry : subjects) known.push_back(entry.first);
  std::vector<std::string> all = probe.PrintSubjects();
  std::sort(all.begin(), all.end());
  EXPECT_EQ(known, all) << "a print subject without a line here";

  std::string script, viaApi;
  for (const std::string& line : setup) {
    for (const Json& doc : Command(line)) viaApi += host::JsonText(doc) + "\n";
    script += line + "\n";
  }
  for (const auto& [subject, lines] : subjects) {
    for (const std::string& line : lines) {
      for (const Json& doc : Command(line)) viaApi += host::JsonText(doc) + "\n";
      script += line + "\n";
    }
  }
  End();  // one host at a time
  std::istringstream in(script);
  std::ostringstream out, err;
  EXPECT_EQ(host::RunScript(in, "subjects.script", out, err, {&host::mesh::AddMeshCommands}), host::kScriptOk)
      << err.str();
  EXPECT_EQ(viaApi, out.str());
}

// Whether a request may run a command is the command table's to say: a
// closed command is answered 403 with the table's reason, an open one is
// never refused as closed, and an unknown one is a bad request.
TEST_F(ServeTest, TheRequestPolicyIsTheCommandTables) {
  host::ScriptConsole table;
  int closed = 0, open = 0;
  for (const std::string& word : table.CommandWords()) {
    // Forms that only print or change nothing here: no words after the
    // command, so most answer their usage.
    if (word == "new") continue;
    std::vector<std::string> words;
    std::string why;
    ASSERT_TRUE(host::ScriptConsole::SplitLine(word + " x", &words, &why));
    bool knownCommand = false;
    const std::string refusal = table.RequestRefusal(words, &knownCommand);
    EXPECT_TRUE(knownCommand) << word;
    const auto r = client_->Post("/api/command", JsonText(Json{{"words", words}}), "application/json");
    ASSERT_TRUE(r) << word;
    if (!refusal.empty()) {
      ++closed;
      EXPECT_EQ(r->status, 403) << word << ": " << r->body;
      EXPECT_EQ(Body(r)["error"], refusal) << word;
    } else {
      ++open;
      EXPECT_NE(r->status, 403) << word << ": " << r->body;
    }
  }
  EXPECT_GE(closed, 6);  // plugin, set-raw, dialog PATH, gui png, save-scene, load-scene
  EXPECT_GE(open, 15);
  const auto unknown = client_->Post("/api/command", JsonText(Json{{"words", {"frobnicate"}}}), "application/json");
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 400);
  EXPECT_EQ(Body(unknown)["error"], "unknown command 'frobnicate'");
}

// One request an edit answers what the page needs: the command's result,
// its notes (a value set to its limit) and the state with both views.
TEST_F(ServeTest, AnEditAnswersItsNotesAndTheStateInOneRequest) {
  Command("arrow A");
  Command("select A");
  const auto r = client_->Post(
      "/api/command", JsonText(Json{{"words", {"set", "A", "ARROW_TAIL_TAPER", "150%"}}, {"state", true}}),
      "application/json");
  ASSERT_TRUE(r && r->status == 200) << (r ? r->body : "");
  const Json answer = Body(r);
  ASSERT_EQ(answer["notes"].size(), 1u) << answer["notes"];
  EXPECT_EQ(answer["notes"][0], "ARROW_TAIL_TAPER: 150% is above the maximum 1 (100%), set to 1");
  const Json& active = answer["state"]["active"];
  EXPECT_EQ(active["name"], "A");
  for (const Json& p : active["editor"]["params"]) {
    if (p["name"] == "ARROW_TAIL_TAPER") {
      EXPECT_EQ(p["value"], 1.0);
    }
  }
  EXPECT_NE(active["preview"].get<std::string>().find("id=\"outline\""), std::string::npos);
  EXPECT_TRUE(active["view3d"]["lines"].is_array());
  EXPECT_EQ(active["view3d"]["lines"].size(), 1u);
  // A button that did nothing says so.
  const auto wrap = client_->Post("/api/command", JsonText(Json{{"words", {"press", "A", "ARROW_MAKE_SPLINE_WRAP"}}}),
                                  "application/json");
  ASSERT_TRUE(wrap && wrap->status == 200);
  EXPECT_EQ(Body(wrap)["notes"], Json::array({"pressing ARROW_MAKE_SPLINE_WRAP of 'A' changed nothing: the object "
                                              "made no undo step and showed no dialog or message"}));
  // Two objects of one name are told apart by their serials.
  Command("object null Twin");
  Command("object null Twin");
  const Json tree = Printed("print tree serials");
  ASSERT_EQ(tree[0]["name"], "Twin");
  ASSERT_EQ(tree[1]["name"], "Twin");
  const std::string second = "@" + std::to_string(tree[1]["serial"].get<uint64_t>());
  Command("select " + second);
  EXPECT_EQ(Body(client_->Get("/api/state"))["active"]["serial"], tree[1]["serial"]);
}

// The page's timeline needs no request of its own: the state carries the
// document's time line and the active object's keys. A key sent as the page
// sends it is one undo step, a frame writes the keyed value that the editor
// and the preview then show, and the animation commands are open to requests.
// A frame the page plays is sent to stay out of the log unless it fails.
TEST_F(ServeTest, TheStateCarriesTheTimeLineAndTheActiveObjectsKeys) {
  Command("arrow A");
  Command("select A");
  Json state = State();
  EXPECT_EQ(state["time"], (Json{{"fps", 30.0}, {"range", {0, 90}}, {"frame", 0}}));
  EXPECT_EQ(state["active"]["keys"], Json::array());
  const std::size_t steps = state["undo"]["undo"];

  const auto r = client_->Post(
      "/api/command",
      JsonText(Json{{"words", {"key", "@" + std::to_string(state["active"]["serial"].get<uint64_t>()),
                               "ARROW_SHAFT_LENGTH", "0", "100"}},
                    {"state", true}}),
      "application/json");
  ASSERT_TRUE(r && r->status == 200) << (r ? r->body : "");
  const Json answer = Body(r);
  const Json& keyed = answer["state"];
  EXPECT_EQ(keyed["undo"]["undo"], steps + 1);
  ASSERT_EQ(keyed["active"]["keys"].size(), 1u) << keyed["active"]["keys"];
  EXPECT_EQ(keyed["active"]["keys"][0]["name"], "ARROW_SHAFT_LENGTH");
  EXPECT_EQ(keyed["active"]["keys"][0]["keys"],
            (Json::array({Json{{"frame", 0}, {"value", 100.0}, {"interpolation", "linear"}}})));
  EXPECT_TRUE(keyed["active"]["preview"].is_string());

  Command("key A ARROW_SHAFT_LENGTH 30 400 ease");
  Command("fps 24");
  Command("range 0 60");
  Command("frame 0");
  const std::string atFirst = PreviewPath("A");
  Command("frame 15");
  state = State();
  EXPECT_EQ(state["time"], (Json{{"fps", 24.0}, {"range", {0, 60}}, {"frame", 15}}));
  EXPECT_EQ(state["undo"]["undo"], steps + 2);  // frames, fps and range are no undo steps
  for (const Json& p : state["active"]["editor"]["params"])
    if (p["name"] == "ARROW_SHAFT_LENGTH") {
      EXPECT_DOUBLE_EQ(p["value"].get<double>(), 250.0);
    }
  EXPECT_NE(PreviewPath("A"), atFirst);
  ASSERT_EQ(State()["active"]["keys"][0]["keys"].size(), 2u);

  // Frames sent with "log": false (the page's playing) go to the frame and
  // stay out of the log; one that fails is logged with its error.
  const auto quietly = [&](const std::string& frame) {
    return client_->Post("/api/command", JsonText(Json{{"words", {"frame", frame}}, {"log", false}}),
                         "application/json");
  };
  const Json logBefore = Body(client_->Get("/api/state"))["log"];
  const auto quiet = quietly("16");
  ASSERT_TRUE(quiet && quiet->status == 200) << (quiet ? quiet->body : "");
  EXPECT_EQ(State()["time"]["frame"], 16);
  EXPECT_EQ(Body(client_->Get("/api/state"))["log"], logBefore);
  const auto failed = quietly("sixteen");
  ASSERT_TRUE(failed && failed->status == 400);
  const Json logAfter = Body(client_->Get("/api/state"))["log"];
  ASSERT_EQ(logAfter.size(), logBefore.size() + 1);
  EXPECT_EQ(logAfter.back()["command"], "frame sixteen");
  EXPECT_EQ(logAfter.back()["ok"], false);
  EXPECT_NE(logAfter.back()["error"].get<std::string>().find("no whole number"), std::string::npos);

  // Undo takes the keys out one step at a time, redo puts them back.
  Command("undo");
  EXPECT_EQ(State()["active"]["keys"][0]["keys"].size(), 1u);
  Command("undo");
  EXPECT_EQ(State()["active"]["keys"], Json::array());
  Command("redo");
  EXPECT_EQ(State()["active"]["keys"][0]["keys"].size(), 1u);
  Command("unkey A ARROW_SHAFT_LENGTH 0");
  EXPECT_EQ(State()["active"]["keys"], Json::array());
  Command("unkey A ARROW_SHAFT_LENGTH 0", 400);

  for (const char* line : {"key x y 0 1", "unkey x y 0", "frame x", "fps x", "range x y", "print time"}) {
    std::vector<std::string> words;
    std::string why;
    ASSERT_TRUE(host::ScriptConsole::SplitLine(line, &words, &why));
    const auto reply = client_->Post("/api/command", JsonText(Json{{"words", words}}), "application/json");
    ASSERT_TRUE(reply) << line;
    EXPECT_NE(reply->status, 403) << line << ": " << reply->body;
  }
}

// A workbench started again in the same state folder loads the recovery
// copy the last one left; two at once do not share one.
TEST_F(ServeTest, AWorkbenchStartedAgainRestoresTheDocument) {
  Command("arrow Kept");
  Command("set Kept ARROW_SHAFT_LENGTH 345");
  Command("object spline Route");
  Command("points Route linear 0,0,0 100,0,0");
  {
    // Another workbench of the same release (a second process) keeps no
    // copy beside this one: the copy is locked.
    host::Recovery other;
    std::string note;
    EXPECT_FALSE(other.Open(state_.Path(), 16, &note));
    EXPECT_NE(note.find("another workbench of release 16 keeps its copy"), std::string::npos) << note;
    EXPECT_TRUE(other.Open(state_.Path(), 12, &note)) << note;
  }
  const Json params = Printed("print params Kept names")["params"];
  const Json points = Printed("print editor Route");
  End();
  Begin(16);
  EXPECT_NE(bench_->RecoveryNote().find("restored 2 objects from the recovery copy"), std::string::npos)
      << bench_->RecoveryNote();
  EXPECT_EQ(Printed("print params Kept names")["params"], params);
  EXPECT_EQ(Printed("print editor Route")["params"], points["params"]);
  const Json state = State();
  EXPECT_EQ(state["recovery"], bench_->RecoveryNote());
}

}  // namespace
