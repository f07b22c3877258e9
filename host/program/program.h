// The program tolvane-host: each command adds its options to the parser and
// answers what it does once the command line has been read (one Add...
// function a command, one file each); main() reads the line and runs the
// command that was given.
#ifndef HOST_PROGRAM_H
#define HOST_PROGRAM_H

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "script.h"
#include "session.h"

namespace program {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

extern const char kHelpHint[];

// A mistake in the command line found while a command runs (a --set the
// description does not know, say): exit status 2 with the help hint.
struct UsageError {
  std::string message;
};

// Prints "tolvane-host: MESSAGE" on standard error; answers kExitFailed.
int Fail(const std::string& message);

// The options that make an arrow, shared by the commands that take them.
struct ArrowOptions {
  host::SessionOptions session;
  std::vector<std::string> sets;
  bool raw = false;    // --set values stored as typed
  std::string preset;  // a preset to load first
};

// Loads the plug-in and makes an arrow with the requested settings: the
// preset first, then each --set (a bad one throws UsageError).
// Standard error says which preset file was taken when more than one
// matched, and which --set values have no effect in the arrow's final state.
host::Object* PrepareArrow(host::Session& session, const ArrowOptions& o, std::string* error);
// The parameters that --set values name, in order (names the description
// does not know left out).
std::vector<const host::ParamDesc*> SetParameters(const host::Session& session,
                                                  const std::vector<std::string>& sets);

// Refuses an empty word: an unset shell variable, say, is never what was meant.
extern const CLI::Validator kNonEmpty;

// --release and --plugin.
void AddPluginOptions(CLI::App* command, host::SessionOptions* session);
// --set and --raw.
void AddArrowOptions(CLI::App* command, std::vector<std::string>* sets, bool* raw);
// --preset.
void AddPresetOption(CLI::App* command, std::string* preset);
// All that makes an arrow: --release, --plugin, --set, --raw and --preset.
void AddMakeArrowOptions(CLI::App* command, ArrowOptions* arrow);

// The commands the program's consoles get beside the built-in ones.
std::vector<host::ConsoleExtension> ConsoleExtensions();

// A command of the program: its parser, and what it does once parsed.
struct Command {
  CLI::App* app = nullptr;
  std::function<int()> action;
};

Command AddInfoCommand(CLI::App& app);
Command AddParamsCommand(CLI::App& app);
Command AddOutlineCommand(CLI::App& app);
Command AddPresetCommand(CLI::App& app);
Command AddRunCommand(CLI::App& app);
Command AddBatchCommand(CLI::App& app);
Command AddAnimateCommand(CLI::App& app);
#if defined(TOLVANE_HAVE_MESH)
Command AddMeshCommand(CLI::App& app);
#endif
#if defined(TOLVANE_SERVE)
Command AddServeCommand(CLI::App& app);
#endif

}  // namespace program

#endif
