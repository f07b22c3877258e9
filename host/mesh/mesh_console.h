// The mesh layer's commands: the program's `mesh` command and the script
// console's `export`, `print mesh` and `points`.
//
//   tolvane-host mesh [--release 16|12 | --plugin DIR] [--preset FILE|NAME] [--set NAME=VALUE]...
//                     [--raw] [--depth D] [--rounded] [--format F] [--unit M] -o FILE
//       makes an arrow (the preset loaded first, then the settings, read as
//       the attribute editor reads them: units, limits; as typed with --raw),
//       presses its extrude button (after switching on its rounded caps with
//       --rounded), gives the extrusion the movement (0, 0, D) (20 by
//       default, the extrusion's own), and writes the extrusion's mesh.
//   tolvane-host mesh [--release 16|12 | --plugin DIR] --scene FILE --object NAME
//                     [--format F] [--unit M] -o FILE
//       writes the mesh of the object NAME of a scene file.
//   The format is the file's suffix unless --format names one; M is metres
//   per scene unit (kDefaultUnit).
//
//   export NAME FILE [--format F] [--unit M]
//                           the mesh of NAME's subtree, in the format of the
//                           file's suffix (.glb .gltf .obj .stl .ply) or F
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
  std::string preset;             // loaded into the arrow before the settings
  std::vector<std::string> sets;  // NAME=VALUE, applied in order
  bool raw = false;               // --raw: the values stored as typed (else as the editor reads them)
  double depth = 20.0;            // the extrusion's movement is (0, 0, depth)
  bool rounded = false;           // ARROW_EXTRUDE_FILLET on before extruding
  std::string scene;              // a scene file whose object `object` is written (no arrow made)
  std::string object;
  std::string format;             // glb, gltf, obj, stl or ply; empty: the output's suffix
  double unit = kDefaultUnit;     // metres per scene unit
  std::string output;             // the file (required)
};

// The program's `mesh` command. Answers the exit status: 0 written, 1 the
// host could not (the plug-in does not load, the preset or scene cannot be
// loaded, no such object, no mesh, the file cannot be written), 2 a wrong
// option (unknown format or setting, a suffix that names no format without
// --format, no file, a depth that is not a finite number, a unit that is
// not a positive number, --scene without --object or with arrow options). Messages go to `err` as "tolvane-host: ...".
int MeshCommand(const MeshOptions& options, std::ostream& out, std::ostream& err);

// Adds `export`, `print mesh` and `points` to a console.
void AddMeshCommands(ScriptConsole& console);

// A mesh's measures as `print mesh` writes them.
Json MeasuresJson(const std::string& name, const Measures& m);

}  // namespace mesh
}  // namespace host

#endif
