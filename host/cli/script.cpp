#include "script.h"

#include <algorithm>
#include <cstdint>
#include <istream>
#include <ostream>
#include <utility>

#include "parse.h"
#include "object_names.h"
#include "outputs.h"
#include "script_anim.h"
#include "script_edit.h"
#include "script_element.h"
#include "script_internal.h"
#include "script_print.h"
#include "script_scene.h"
#include "script_userdata.h"

namespace host {

namespace {

bool CmdHelp(ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
  if (a.empty()) {
    std::string text = "commands (help COMMAND for one):\n";
    for (const std::string& word : c.CommandWords()) text += "  " + c.HelpText(word) + "\n";
    c.Write(text);
    return true;
  }
  const std::vector<std::string> words = c.CommandWords();
  if (std::find(words.begin(), words.end(), a[0]) == words.end())
    return Fail(e, "unknown command " + Quoted(a[0]) + DidYouMean(a[0], words) + " ('help' lists the commands)");
  c.Write(c.HelpText(a[0]) + "\n");
  return true;
}

std::string JoinWords(const std::vector<std::string>& words, const char* separator) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : separator) + w;
  return out;
}

}  // namespace

// -----------------------------------------------------------------------------

ScriptConsole::ScriptConsole(std::ostream& out, const std::vector<ConsoleExtension>& extensions)
    : ScriptConsole(extensions) {
  out_ = &out;
}

ScriptConsole::ScriptConsole(const std::vector<ConsoleExtension>& extensions) {
  AddEditCommands(*this);
  AddCommand("help", {"help [COMMAND]", 0, 1, CmdHelp, false, "list the commands, or show one command's usage",
                      kOpenToRequests});
  AddPrintSubjects(*this);
  // `print` checks its words itself, by subject.
  AddCommand("print", {"print SUBJECT [NAME]", 0, static_cast<std::size_t>(-1),
                       [](ScriptConsole& c, const ScriptArgs& a, ScriptError* e) {
                         return c.RunPrint(a, e);
                       },
                       true, "write what the host holds as JSON: one of the subjects below", kOpenToRequests});
  AddUserDataCommands(*this);
  AddElementCommands(*this);
  AddSceneCommands(*this);
  AddAnimationCommands(*this);
  for (ConsoleExtension extend : extensions) extend(*this);
}

ScriptConsole::~ScriptConsole() = default;

void ScriptConsole::AddCommand(const std::string& word, ScriptCommand command) {
  commands_[word] = std::move(command);
}

void ScriptConsole::AddPrint(const std::string& subject, ScriptCommand command) {
  prints_[subject] = std::move(command);
}

std::vector<std::string> ScriptConsole::CommandWords() const {
  std::vector<std::string> words;
  for (const auto& entry : commands_) words.push_back(entry.first);
  return words;
}

std::string ScriptConsole::HelpText(const std::string& word) const {
  const auto entry = commands_.find(word);
  if (entry == commands_.end()) return "";
  const ScriptCommand& cmd = entry->second;
  std::string text = cmd.usage + (cmd.summary.empty() ? "" : "\n      " + cmd.summary);
  if (word == "print") {
    for (const auto& [subject, print] : prints_)
      text += "\n    " + print.usage + (print.summary.empty() ? "" : ": " + print.summary);
  }
  return text;
}

void ScriptConsole::Note(const std::string& note) {
  if (result_ != nullptr) result_->notes.push_back(note);
}

std::vector<std::string> ScriptConsole::PrintSubjects() const {
  std::vector<std::string> words;
  for (const auto& entry : prints_) words.push_back(entry.first);
  return words;
}

bool ScriptConsole::SplitLine(const std::string& line, std::vector<std::string>* words,
                              std::string* error) {
  words->clear();
  std::size_t i = 0;
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; };
  while (i < line.size()) {
    if (blank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    std::string word;
    // A word runs to the next blank; quoted parts may hold blanks and `#`.
    while (i < line.size() && !blank(line[i]) && line[i] != '#') {
      if (line[i] != '"') {
        word += line[i++];
        continue;
      }
      const std::size_t open = i++;
      bool closed = false;
      while (i < line.size()) {
        const char ch = line[i++];
        if (ch == '"') {
          closed = true;
          break;
        }
        if (ch == '\\') {
          if (i >= line.size() || (line[i] != '"' && line[i] != '\\')) {
            *error = "bad escape in quotes at column " + std::to_string(i) +
                     ": only \\\" and \\\\ are known";
            return false;
          }
          word += line[i++];
        } else {
          word += ch;
        }
      }
      if (!closed) {
        *error = "unterminated quote at column " + std::to_string(open + 1);
        return false;
      }
    }
    words->push_back(std::move(word));
  }
  return true;
}

std::string ScriptConsole::QuoteWord(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\r\"#\\") == std::string::npos) return word;
  std::string out = "\"";
  for (char ch : word) {
    if (ch == '"' || ch == '\\') out += '\\';
    out += ch;
  }
  return out + "\"";
}

std::string ScriptConsole::JoinLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) line += (line.empty() ? "" : " ") + QuoteWord(w);
  return line;
}

CommandResult ScriptConsole::Run(const std::vector<std::string>& words) {
  CommandResult result;
  CommandResult* outer = result_;
  result_ = &result;
  ScriptError error;
  if (!RunWords(words, &error)) {
    result.status = error.status;
    result.error = error.message;
  }
  status_ = result.status;
  result_ = outer;
  return result;
}

bool ScriptConsole::Execute(const std::string& line, std::string* error) {
  ScriptError e;
  const bool ok = Execute(line, &e);
  if (!ok && error != nullptr) *error = e.message;
  return ok;
}

bool ScriptConsole::Execute(const std::string& line, ScriptError* error) {
  const CommandResult r = Run(line);
  if (!r.Ok() && error != nullptr) Fail(error, r.error, r.status);
  return r.Ok();
}

CommandResult ScriptConsole::Run(const std::string& line) {
  std::vector<std::string> words;
  std::string splitError;
  if (SplitLine(line, &words, &splitError)) return Run(words);
  CommandResult result;
  result.status = kScriptError;
  result.error = splitError;
  status_ = result.status;
  return result;
}

const ScriptCommand* ScriptConsole::Lookup(const std::vector<std::string>& words, std::size_t* argsFrom) const {
  if (words.size() >= 2) {
    const auto pair = commands_.find(words[0] + " " + words[1]);
    if (pair != commands_.end()) {
      *argsFrom = 2;
      return &pair->second;
    }
  }
  const auto single = commands_.find(words[0]);
  *argsFrom = 1;
  return single == commands_.end() ? nullptr : &single->second;
}

bool ScriptConsole::RunWords(const std::vector<std::string>& words, ScriptError* error) {
  if (words.empty()) return true;
  if (finished_) return Fail(error, "the session has ended");
  std::size_t from = 0;
  const ScriptCommand* cmd = Lookup(words, &from);
  if (cmd == nullptr)
    return Fail(error, "unknown command " + Quoted(words[0]) + DidYouMean(words[0], CommandWords()) +
                           " ('help' lists the commands)");
  const ScriptArgs args(words.begin() + static_cast<std::ptrdiff_t>(from), words.end());
  if (args.size() < cmd->minArgs || args.size() > cmd->maxArgs) return Fail(error, "usage: " + cmd->usage);
  if (cmd->needsPlugin && GetSession(error) == nullptr) return false;
  return cmd->handler(*this, args, error);
}

std::string ScriptConsole::RequestRefusal(const std::vector<std::string>& words, bool* known) const {
  std::size_t from = 0;
  const ScriptCommand* cmd = words.empty() ? nullptr : Lookup(words, &from);
  *known = cmd != nullptr;
  if (cmd == nullptr) return words.empty() ? "the command is empty" : "unknown command " + Quoted(words[0]);
  if (cmd->closedToRequests.empty()) return "";
  std::string form = words[0];
  for (std::size_t k = 1; k < from; ++k) form += " " + words[k];
  return Quoted(form) + " " + cmd->closedToRequests;
}

Json ScriptConsole::PrintedDocument(const std::string& subjectLine, ScriptError* error) {
  const CommandResult r = Run("print " + subjectLine);
  if (!r.Ok()) {
    Fail(error, r.error, r.status);
    return nullptr;
  }
  return r.printed.empty() ? Json(nullptr) : r.printed.front();
}

bool ScriptConsole::RunPrint(const ScriptArgs& args, ScriptError* error) {
  std::vector<std::string> forms;
  for (const auto& entry : prints_) forms.push_back(entry.second.usage);
  if (args.empty()) return Fail(error, "usage: " + JoinWords(forms, " | "));
  const auto subject = prints_.find(args[0]);
  if (subject == prints_.end())
    return Fail(error, "unknown print subject " + Quoted(args[0]) + ": expected " +
                           JoinWords(PrintSubjects(), ", "));
  const ScriptArgs rest(args.begin() + 1, args.end());
  const ScriptCommand& cmd = subject->second;
  if (rest.size() < cmd.minArgs || rest.size() > cmd.maxArgs) return Fail(error, "usage: " + cmd.usage);
  return cmd.handler(*this, rest, error);
}

bool ScriptConsole::ChoosePlugin(const SessionOptions& options, ScriptError* error) {
  if (session_ != nullptr)
    return Fail(error, "the plug-in is loaded already: 'plugin' must come before every other command");
  options_ = options;
  return true;
}

Session* ScriptConsole::GetSession(ScriptError* error) {
  if (finished_) {
    Fail(error, "the session has ended");
    return nullptr;
  }
  if (session_ != nullptr) return session_.get();
  auto session = std::make_unique<Session>(options_);
  std::string reason;
  if (!session->Open(&reason)) {
    Fail(error, "cannot load the plug-in: " + reason, kScriptFailed);
    return nullptr;
  }
  session_ = std::move(session);
  return session_.get();
}

bool ScriptConsole::IsArrow(const Object* op) const {
  return session_ != nullptr && op != nullptr && op->Plugin() != nullptr &&
         op->Plugin() == session_->ArrowPlugin();
}

Object* ScriptConsole::FindObject(const std::string& nameOrPath, ScriptError* error) {
  Session* session = GetSession(error);
  if (session == nullptr) return nullptr;
  std::string reason;
  Object* op = FindObjectIn(session->Doc(), nameOrPath, &reason);
  if (op == nullptr) Fail(error, reason);
  return op;
}

void ScriptConsole::Print(const Json& doc) {
  if (result_ != nullptr) result_->printed.push_back(doc);
  if (out_ == nullptr) return;
  // Names come from the script; text that is not UTF-8 is written replaced.
  *out_ << JsonText(doc) << '\n';
  out_->flush();
}

void ScriptConsole::Write(const std::string& text) {
  if (result_ != nullptr) result_->text += text;
  if (out_ != nullptr) *out_ << text << std::flush;
}

bool ScriptConsole::Finish(std::string* error) {
  if (finished_) return true;
  finished_ = true;
  if (session_ == nullptr) return true;
  Host& h = session_->GetHost();
  h.Failures().Off();
  h.Shutdown();
  std::string findings;
  for (const Leak& leak : h.Leaks()) {
    findings += findings.empty() ? "the module left behind: " : "; ";
    findings += leak.what;
    if (leak.bytes != 0) findings += " (" + std::to_string(leak.bytes) + ")";
    if (!leak.file.empty()) findings += " " + leak.file;
    if (leak.line != 0) findings += ":" + std::to_string(leak.line);
  }
  for (const std::string& misuse : h.misuses)
    findings += (findings.empty() ? "" : "; ") + std::string("the module misused the host: ") + misuse;
  if (findings.empty()) return true;
  if (error != nullptr) *error = findings;
  return false;
}

int RunScript(std::istream& in, const std::string& scriptName, std::ostream& out,
              std::ostream& err, const std::vector<ConsoleExtension>& extensions) {
  ScriptConsole console(out, extensions);
  int status = kScriptOk;
  std::string line;
  long number = 0;
  while (std::getline(in, line)) {
    ++number;
    const CommandResult r = console.Run(line);
    for (const std::string& note : r.notes) err << scriptName << ":" << number << ": " << note << "\n";
    if (!r.Ok()) {
      err << scriptName << ":" << number << ": " << r.error << "\n";
      status = r.status;
      break;
    }
  }
  if (status == kScriptOk && in.bad()) {
    err << scriptName << ":" << number + 1 << ": the script could not be read further\n";
    status = kScriptError;
  }
  std::string findings;
  if (!console.Finish(&findings)) {
    err << scriptName << ": " << findings << "\n";
    if (status == kScriptOk) status = kScriptFailed;
  }
  return status;
}

}  // namespace host
