#include "script_scene.h"

#include <memory>

#include "scenefile.h"

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
  const std::string namesAFile =
      "names a file on the server: files travel by the workbench's uploads and downloads";
  ScriptCommand save{"save-scene FILE", 1, 1, CmdSaveScene};
  save.closedToRequests = namesAFile;
  console.AddCommand("save-scene", save);
  ScriptCommand load{"load-scene FILE", 1, 1, CmdLoadScene};
  load.closedToRequests = namesAFile;
  console.AddCommand("load-scene", load);
}

}  // namespace host
