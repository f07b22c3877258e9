// tolvane-host mesh: an arrow extruded as the extrusion button does, or an
// object of a scene file, exported as a 3-D file.
#include <iostream>
#include <memory>

#include "mesh_console.h"
#include "program.h"

namespace program {

Command AddMeshCommand(CLI::App& app) {
  auto o = std::make_shared<host::mesh::MeshOptions>();
  CLI::App* mesh = app.add_subcommand(
      "mesh",
      "make an arrow, extrude it as the extrusion button does, and export the mesh as a 3-D file "
      "(or export an object of a scene file)");
  AddPluginOptions(mesh, &o->session);
  AddPresetOption(mesh, &o->preset);
  AddArrowOptions(mesh, &o->sets, &o->raw);
  CLI::Option* depth = mesh->add_option("--depth", o->depth, "the extrusion's depth along z (20 by default)")
      ->type_name("D");
  mesh->add_flag("--rounded", o->rounded, "rounded caps, as with the arrow's rounded caps option");
  CLI::Option* scene = mesh->add_option("--scene", o->scene,
                                        "export an object of this scene file instead of making an arrow")
      ->type_name("FILE")
      ->check(kNonEmpty);
  mesh->add_option("--object", o->object,
                   "the object of the --scene file to export (an extrusion, a cloner, a null, ...)")
      ->type_name("NAME")
      ->check(kNonEmpty);
  depth->excludes(scene);
  mesh->add_option("--format", o->format, "glb, gltf, obj, stl or ply (by default the file's suffix)")
      ->check(CLI::IsMember({"glb", "gltf", "obj", "stl", "ply"}));
  mesh->add_option("--unit", o->unit,
                   "metres per scene unit (0.001 by default: the default arrow is 0.5 m long); "
                   "glTF positions are scaled to metres, OBJ, PLY and STL name the unit")
      ->type_name("M");
  mesh->add_option("-o", o->output, "the file to write")->type_name("FILE")->required()->check(kNonEmpty);
  mesh->footer(
      "Examples:\n  tolvane-host mesh -o arrow.glb --set ARROW_CHEVRON=true\n"
      "  tolvane-host mesh --preset classic --rounded --unit 0.01 -o arrow.stl\n"
      "  tolvane-host mesh --scene row.tlvscene --object Cloner -o row.glb");
  return {mesh, [o] { return host::mesh::MeshCommand(*o, std::cout, std::cerr); }};
}

}  // namespace program
