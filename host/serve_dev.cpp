// tolvane-serve-dev: the workbench server on its own, until the host
// program's command line offers it as `tolvane-host serve`. Used by the
// browser tests (tests/web/) and for trying the page by hand:
//   tolvane-serve-dev [--release 16|12 | --plugin DIR] [--port N] [--bind ADDR]
#include <iostream>
#include <string>

#include "serve.h"
#include "session.h"

int main(int argc, char** argv) {
  host::ServeOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) {
      std::cerr << "tolvane-serve-dev: " << arg << " needs a value\n";
      return 2;
    }
    const std::string value = argv[++i];
    long long n = 0;
    if (arg == "--release" && (value == "16" || value == "12")) {
      options.release = std::stoi(value);
    } else if (arg == "--plugin") {
      options.pluginDir = value;
    } else if (arg == "--port" && host::ParseWholeNumber(value, 0, 65535, &n)) {
      options.port = static_cast<int>(n);
    } else if (arg == "--bind" && !value.empty()) {
      options.bind = value;
    } else {
      std::cerr << "usage: tolvane-serve-dev [--release 16|12 | --plugin DIR] [--port N] [--bind ADDR]\n";
      return 2;
    }
  }
  return host::Serve(options);
}
