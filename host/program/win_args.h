// The program's arguments as UTF-8 on Windows, where the narrow `argv` is
// in the system's code page and cannot hold every name.
#ifndef HOST_WIN_ARGS_H
#define HOST_WIN_ARGS_H

#include <string>
#include <vector>

namespace host {

// Every argument of the command line, the program's name first, as UTF-8.
// Windows only.
std::vector<std::string> Utf8Arguments();

}  // namespace host

#endif
