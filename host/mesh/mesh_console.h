// The mesh layer's commands: the program's `mesh` command and the script
// console's `export`, `print mesh` and `points`.
//
//   tolvane-host mesh [--release 16|12 | --plugin DIR] [--set NAME=VALUE]... [--raw]
//                     [--depth D] [--rounded] --format glb|gltf|obj|stl|ply -o FILE
//       makes an arrow with the settings (read as the attribute editor reads
//       them: units, limits; as typed with --raw), presses its extrude button (after
//       switching on its rounded caps with --rounded), gives the extrusion
//       the movement (0, 0, D) (20 by default, the extrusion's own), and
//       writes the extrusion's mesh.
//
//   export NAME FILE        the mesh of NAME's subtree, in the format of the
//                           file's suffix (.glb .gltf .obj .stl .ply)
//   print mesh NAME         {"name","vertices","triangles","bbox":{"min","max"},
//                           "area","volume","closed","oriented"}
//   points NAME [linear|cubic] [closed] X,Y,Z X,Y,Z ...
//                           gives the spline object NAME these points (a path
//                           for cloners and spline wraps); not an undo step
//
// An object without a mesh, or a generator that cannot make one (an outline
// that is not finite or crosses itself), is a failure: exit status 1 and the
// reason.
#ifndef HOST_MESH_MESH_CONSOLE_H
#define HOST_MESH_MESH_CONSOLE_H

#include <iosfwd>
#include <string>
#include <vector>

#include "mesh.h"
#include "script.h"
#include "session.h"

namespace host {
namespace mesh {

struct MeshOptions {
  SessionOptions session;
  std::vector<std::string> sets;  // NAME=VALUE, applied in order
  bool raw = false;               // --raw: the values stored as typed (else as the editor reads them)
  double depth = 20.0;            // the extrusion's movement is (0, 0, depth)
  bool rounded = false;           // ARROW_EXTRUDE_FILLET on before extruding
  std::string format = "glb";     // glb, gltf, obj, stl or ply
  std::string output;             // the file (required)
};

// The program's `mesh` command. Answers the exit status: 0 written, 1 the
// host could not (the plug-in does not load, no mesh, the file cannot be
// written), 2 a wrong option (unknown format or setting, no file, a depth
// that is not a finite number). Messages go to `err` as "tolvane-host: ...".
int MeshCommand(const MeshOptions& options, std::ostream& out, std::ostream& err);

// Adds `export`, `print mesh` and `points` to a console.
void AddMeshCommands(ScriptConsole& console);

// A mesh's measures as `print mesh` writes them.
Json MeasuresJson(const std::string& name, const Measures& m);

}  // namespace mesh
}  // namespace host

#endif
