// The stand-in host's script console: one command a line, each run through
// the same host paths a user's click would take (creating objects, moving
// them in the object manager, the attribute editor's edits, button presses,
// undo and redo), with `print` commands that write what the host holds as
// one JSON document a line.
//
// Lines are split into words at blanks. A word in double quotes may hold
// blanks and `#`; inside quotes `\"` is a quote and `\\` a backslash. `#`
// outside quotes starts a comment. Blank and comment lines do nothing.
//
// Commands, each file adding its own to every console: the scene-editing
// commands (plugin, arrow, object, move, select, set, set-raw, scrub, press,
// dialog, new, doc, undo, redo, fail) in script_edit.h, the `print` subjects
// in script_print.h, userdata in script_userdata.h, gui and print gui in
// script_element.h, save-scene and load-scene in script_scene.h, the
// animation commands in script_anim.h; `help` and `print` are the console's
// own. NAME is an object's name or a path of names, see FindObject.
//
// Errors. A command that is unknown, misspelt, names an object or parameter
// that does not exist or gives a bad value is a script error (status 2).
// A command the host could not carry out (the plug-in does not load, the
// module could not make an object) is a failure (status 1). Either stops a
// script; what ran before stays done.
#ifndef HOST_SCRIPT_H
#define HOST_SCRIPT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "parse.h"
#include "session.h"

namespace host {

constexpr int kScriptOk = 0;
constexpr int kScriptFailed = 1;  // the host could not do what was asked
constexpr int kScriptError = 2;   // the script itself is wrong

// Why a command stopped.
struct ScriptError {
  std::string message;
  int status = kScriptError;
};

// Fills `error` and answers false, so a handler can `return Fail(error, ...)`.
inline bool Fail(ScriptError* error, std::string message, int status = kScriptError) {
  error->message = std::move(message);
  error->status = status;
  return false;
}

class ScriptConsole;
using ScriptArgs = std::vector<std::string>;  // the words after the command word
using ScriptHandler = std::function<bool(ScriptConsole&, const ScriptArgs&, ScriptError*)>;
// Adds commands to a console at the end of its construction (the program
// adds the mesh layer's commands so, where it is built).
using ConsoleExtension = void (*)(ScriptConsole& console);

// Why a command is closed to requests from the workbench when its entry
// says nothing else.
constexpr const char* kNotOpenToRequests = "is not open to requests";

// One command of the console. The console checks the number of words before
// calling the handler and answers `usage` when it is wrong. A command word
// may be two words ("gui png"): a line whose first two words name such an
// entry runs it, with the words after those two as its arguments.
struct ScriptCommand {
  std::string usage;  // e.g. "select NAME"
  std::size_t minArgs = 0;
  std::size_t maxArgs = 0;
  ScriptHandler handler;
  // The console loads the plug-in before calling the handler (all but
  // `plugin` itself work on the loaded plug-in and its document).
  bool needsPlugin = true;
  std::string summary = {};  // one line for `help`
  // Why a request of the workbench may not run it (it names a file on the
  // server, say); empty when requests may.
  std::string closedToRequests = kNotOpenToRequests;
};

// What one command did: its status and error, the notes it left for the
// user (a value moved to a limit, a button that did nothing and why), the
// JSON documents it printed and any other text it wrote (help).
struct CommandResult {
  int status = 0;  // kScriptOk, kScriptFailed or kScriptError
  std::string error;
  std::vector<std::string> notes;
  std::vector<Json> printed;
  std::string text;
  bool Ok() const { return status == 0; }
};

class ScriptConsole {
 public:
  // What commands print and write also goes to `out`, a document a line.
  explicit ScriptConsole(std::ostream& out, const std::vector<ConsoleExtension>& extensions = {});
  // A console whose commands answer only in their results.
  explicit ScriptConsole(const std::vector<ConsoleExtension>& extensions = {});
  ~ScriptConsole();
  ScriptConsole(const ScriptConsole&) = delete;
  ScriptConsole& operator=(const ScriptConsole&) = delete;

  // Runs one line and answers what it did.
  CommandResult Run(const std::string& line);
  // Runs one line. False with the reason when the command stopped;
  // Status() then tells a script error from a failure.
  bool Execute(const std::string& line, std::string* error);
  bool Execute(const std::string& line, ScriptError* error);
  // Why a request may not run this line (split into words): its command's
  // `closedToRequests`, or that the command is unknown; empty when it may.
  // `known` tells the two apart.
  std::string RequestRefusal(const std::vector<std::string>& words, bool* known) const;
  // The status of the last line run: kScriptOk, kScriptFailed or kScriptError.
  int Status() const { return status_; }

  // Ends the session: switches failure injection off, shuts the host down
  // and checks that the module left no allocation behind and misused no
  // handle. False with the findings otherwise. Running a line after Finish
  // is a script error.
  bool Finish(std::string* error);
  bool Finished() const { return finished_; }

  // Extending the console: a command word or a `print` subject with its
  // handler. A word registered again replaces the earlier handler.
  void AddCommand(const std::string& word, ScriptCommand command);
  void AddPrint(const std::string& subject, ScriptCommand command);
  std::vector<std::string> CommandWords() const;
  std::vector<std::string> PrintSubjects() const;

  // --- for handlers ---
  // The session, loading the plug-in at the first use. Null (with a failure
  // in `error`) when it does not load.
  Session* GetSession(ScriptError* error);
  // The session when the plug-in is loaded already, else null.
  Session* LoadedSession() { return session_.get(); }
  // Chooses the plug-in folder; a script error once the plug-in is loaded.
  bool ChoosePlugin(const SessionOptions& options, ScriptError* error);

  // Finds an object of the document by name: the first object in tree order
  // with that name. A text with `/` is a path of names from the top level
  // down (`Cloner/Extrude NURBS/Arrow`); the first object in tree order whose
  // chain of names matches wins. Objects outside the tree (taken out by undo)
  // are never found. Null with a script error when nothing matches.
  Object* FindObject(const std::string& nameOrPath, ScriptError* error);
  // Whether the object is an arrow of the loaded module.
  bool IsArrow(const Object* op) const;

  // The usage and summary of a command for `help` (with the print subjects
  // for `print`); empty for an unknown word.
  std::string HelpText(const std::string& word) const;
  // A remark for the user about the line being run (a value moved to a
  // limit, say): a note of its result; RunScript writes it to standard error
  // with the line.
  void Note(const std::string& note);

  // Adds one JSON document to the line's result (and writes it on one line
  // to the console's output).
  void Print(const Json& doc);
  // Adds text to the line's result (and writes it to the output).
  void Write(const std::string& text);
  // Runs a print subject ("tree", "editor NAME") and answers the document it
  // printed, or null JSON with `error` set.
  Json PrintedDocument(const std::string& subjectLine, ScriptError* error);

  // The last edit of a parameter (`set`, `scrub`): whose, which, and how many
  // undo steps there were after it; `scrub` joins its step to that edit's
  // when nothing changed the undo steps since.
  struct EditKey {
    uint64_t serial = 0;
    int32_t id = 0;
    std::size_t undoSteps = 0;
    bool operator==(const EditKey& o) const {
      return serial == o.serial && id == o.id && undoSteps == o.undoSteps;
    }
  };
  const EditKey& LastEdit() const { return lastEdit_; }
  void RecordEdit(const EditKey& key) { lastEdit_ = key; }

  // Splits a line into words (quotes, escapes and comments as described
  // above). False with a message for an unterminated quote or a bad escape.
  static bool SplitLine(const std::string& line, std::vector<std::string>* words,
                        std::string* error);
  // The inverse: a word quoted where it must be (a blank, a quote, `#` or a
  // backslash in it, or empty), and words joined into a line that splits
  // into them again.
  static std::string QuoteWord(const std::string& word);
  static std::string JoinLine(const std::vector<std::string>& words);
  // Runs a line given as words (no quoting needed).
  CommandResult Run(const std::vector<std::string>& words);

 private:
  bool RunPrint(const ScriptArgs& args, ScriptError* error);
  // The entry a line's words name (two-word entries first) and where its
  // arguments start; null for an unknown command.
  const ScriptCommand* Lookup(const std::vector<std::string>& words, std::size_t* argsFrom) const;
  bool RunWords(const std::vector<std::string>& words, ScriptError* error);

  std::ostream* out_ = nullptr;
  SessionOptions options_;
  std::unique_ptr<Session> session_;
  std::map<std::string, ScriptCommand> commands_;
  std::map<std::string, ScriptCommand> prints_;
  CommandResult* result_ = nullptr;  // of the line being run
  EditKey lastEdit_;
  int status_ = kScriptOk;
  bool finished_ = false;
};

// Runs a whole script: every line in turn until the end or the first error,
// which is written to `err` as "SCRIPT:LINE: message". Then ends the session
// and reports leaks or misuse of the module (as "SCRIPT: message").
// Answers kScriptOk, kScriptFailed or kScriptError.
// `extensions` add their commands to the console first.
int RunScript(std::istream& in, const std::string& scriptName, std::ostream& out,
              std::ostream& err, const std::vector<ConsoleExtension>& extensions = {});

}  // namespace host

#endif
