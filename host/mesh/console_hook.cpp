// Gives every script console of the program the mesh commands (compiled into
// the program itself where the mesh layer is built).
#include "mesh_console.h"

namespace {

[[maybe_unused]] const bool kRegistered = (host::AddConsoleExtension(&host::mesh::AddMeshCommands), true);

}  // namespace
