// tolvane-host serve: the workbench, one host session behind a page in the
// browser.
#include <memory>

#include "program.h"
#include "serve.h"

namespace program {

Command AddServeCommand(CLI::App& app) {
  auto o = std::make_shared<host::ServeOptions>();
  auto session = std::make_shared<host::SessionOptions>();
  CLI::App* serve = app.add_subcommand(
      "serve", "serve the workbench: the plug-in in one host session behind a page in the browser");
  AddPluginOptions(serve, session.get());
  serve->add_option("--port", o->port, "the port to listen on (0: any free one; 8080 by default)")
      ->check(CLI::Range(0, 65535));
  serve->add_option("--bind", o->bind, "the address to listen on (127.0.0.1 by default)")
      ->type_name("ADDR")
      ->check(kNonEmpty);
  serve->add_option("--state-dir", o->stateDir,
                    "where the recovery copy of the document is kept (default: $XDG_STATE_HOME/tolvane or "
                    "~/.local/state/tolvane; - for none)")
      ->type_name("DIR")
      ->check(kNonEmpty);
  serve->footer(
      "The document is kept in a recovery copy after changes, and a workbench started again loads it back.\n"
      "Ctrl-C ends it and shuts the host down.\nExample:\n  tolvane-host serve --port 8080");
  return {serve, [o, session] {
            o->release = session->release;
            o->pluginDir = session->pluginDir;
            o->extensions = ConsoleExtensions();
            return host::Serve(*o);
          }};
}

}  // namespace program
