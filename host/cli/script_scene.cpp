#include "script_scene.h"

#include <cctype>
#include <memory>

#include "safe_writer.h"
#include "scenefile.h"
#include "script_internal.h"

namespace host {

namespace {

bool CmdSaveScene(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Session& s = *c.LoadedSession();
  std::string reason;
  if (!SaveScene(s.GetHost().Options().interfaceVersion, *s.Doc(), a[0], &reason)) return Fail(e, reason, kScriptFailed);
  return true;
}

bool CmdLoadScene(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  Session& s = *c.LoadedSession();
  // What the system shows of the file first: missing, a folder, unreadable.
  if (std::string problem = FileProblem(a[0], false); !problem.empty()) {
    problem[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(problem[0])));  // "Permission denied"
    return Fail(e, "cannot load the scene " + a[0] + ": " + problem, kScriptFailed);
  }
  std::string reason;
  std::unique_ptr<Document> doc = LoadScene(a[0], &reason);
  if (doc == nullptr) return Fail(e, reason, kScriptFailed);
  Document* now = ReplaceDocument(s.GetHost(), s.Doc(), std::move(doc));
  if (now == nullptr) return Fail(e, "the session's document is not one of the host's", kScriptFailed);
  s.SetDoc(now);
  return true;
}

}  // namespace

void AddSceneCommands(ScriptConsole& console) {
  ScriptCommand save{"save-scene FILE", 1, 1, CmdSaveScene};
  save.closedToRequests = kNamesAFile;
  console.AddCommand("save-scene", save);
  ScriptCommand load{"load-scene FILE", 1, 1, CmdLoadScene};
  load.closedToRequests = kNamesAFile;
  console.AddCommand("load-scene", load);
}

}  // namespace host
