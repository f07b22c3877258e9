// What the script console's own command files share: the reasons an entry
// gives for the workbench's requests (see ScriptCommand::closedToRequests).
#ifndef HOST_SCRIPT_INTERNAL_H
#define HOST_SCRIPT_INTERNAL_H

namespace host {

// Requests of the workbench may run the command.
constexpr const char* kOpenToRequests = "";
// The command names a file on the server, which a request may not.
constexpr const char* kNamesAFile =
    "names a file on the server: files travel by the workbench's uploads and downloads";

}  // namespace host

#endif
