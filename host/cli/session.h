// A user's session with the stand-in host: a loaded plug-in, its
// description, a document, and the edits and outputs the program offers.
// The program's commands and the tests go through here alike.
#ifndef HOST_SESSION_H
#define HOST_SESSION_H

#include <memory>
#include <string>
#include <vector>

#include "attribute_editor.h"
#include "host.h"
#include "outline_svg.h"
#include "outputs.h"
#include "resources.h"

namespace host {

struct SessionOptions {
  int release = 16;         // picks the built folder and the host version
  std::string pluginDir;    // overrides the folder when not empty
  int32_t hostVersion = 0;  // overrides the interface version when not 0
};

class Session {
 public:
  explicit Session(const SessionOptions& options);
  ~Session();

  // Loads the plug-in; false with the reason.
  bool Open(std::string* error);
  // The plug-in folder the session loads (or loaded).
  std::string PluginDir() const;
  // A preset by path, or else in the plug-in's preset folder by its file's
  // name ("classic" or "classic.tlv") or by the preset's own name (its
  // ARROW_PRESET_NAME, "Classic"), case ignored; the path as given when
  // nothing matches. When more than one file matches, the first by file
  // name is taken and `note`, when given, says which.
  std::string FindPreset(const std::string& pathOrName, std::string* note = nullptr) const;
  Host& GetHost() { return *host_; }
  int Release() const { return options_.release; }
  Document* Doc() { return doc_; }
  // The document the session works on from now on (after a scene was loaded).
  void SetDoc(Document* doc) { doc_ = doc; }

  // The arrow object plug-in registered by the module, and its description.
  const ObjectPlugin* ArrowPlugin() const;
  const Description* ArrowDescription() const { return description_; }

  // A new arrow at the top of the document (Init gives the defaults).
  Object* NewArrow(bool fromMenu, std::string* error);

  // Finds a parameter by its ARROW_ name (case ignored) or its numeric ID.
  const ParamDesc* FindParam(const std::string& nameOrId) const;
  // The names of a description's parameters (buttons too), for suggestions.
  static std::vector<std::string> ParamNames(const Description* description);
  // Empty while the parameter is enabled in the object's present state;
  // otherwise a note that it has no effect now, naming the switch that
  // disables it when flipping exactly one on/off parameter would enable it
  // ("... has no effect while ARROW_DOUBLE_HEADED is on"), else saying only
  // that it is disabled in this state.
  std::string DisabledNote(Object* op, const ParamDesc& param);
  // The description the attribute editor shows for an object: the arrow's
  // for the module's arrows, the host's own for its object types (spline,
  // null, extrusion, cloner, spline wrap); null for anything else.
  const Description* DescriptionOf(const Object* op) const;
  // A parameter of that description by name (case ignored) or numeric ID;
  // null for none.
  const ParamDesc* FindParamOf(const Object* op, const std::string& nameOrId) const;
  // Parses a value for a parameter by its type; false with a message naming
  // the parameter and the value.
  // In the editor's mode numbers may carry the unit the editor shows, a
  // number beyond the description's limits becomes the nearest limit (and
  // `note`, when given, says so), and choices must be listed ones; raw
  // values are stored as typed.
  bool ParseValue(const ParamDesc& param, const std::string& text, Value* out,
                  std::string* error, EditMode mode = EditMode::kRaw,
                  std::string* note = nullptr) const;
  // Applies "NAME=VALUE" as an edit in the attribute editor: one undo step,
  // then the changed-parameter message; the value is read as `mode` says.
  bool ApplySetting(Object* op, const std::string& assignment, std::string* error,
                    EditMode mode = EditMode::kRaw, std::string* note = nullptr);

  // Presses a button of the object by its ARROW_ name; false when the
  // description has no such button.
  bool PressButton(Object* op, const std::string& button, std::string* error);
  // Answers the load dialog with `path` and presses the load button; false
  // with a message naming the file when the arrow got no update from it.
  bool LoadPreset(Object* op, const std::string& path, std::string* error);
  // Answers the save dialog with `path` and presses the save button; false
  // when no preset file was written (the message names the file and, where
  // the system tells it, the reason). `written` gets the file's final name.
  bool SavePreset(Object* op, const std::string& path, std::string* written, std::string* error);

  // Every parameter of the object's description (DescriptionOf) with its
  // value and enabling; no parameters for an object without one.
  Json ParamsJson(Object* op);
  std::string ParamsTable(Object* op);
  // A value of the container as JSON (links as the target's name or null).
  Json ValueJson(const Value& value) const;

  // Asks the object for its contour and describes it; null JSON when the
  // object answered no spline.
  Json ContourJson(Object* op);
  // The contour's points and whether it is closed; false when the object
  // answered no spline. A spline object of the host answers its own points.
  bool ContourOutline(Object* op, Outline* outline);

 private:
  SessionOptions options_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<ResourceFolder> resources_;
  const Description* description_ = nullptr;
  Document* doc_ = nullptr;
};

}  // namespace host

#endif
