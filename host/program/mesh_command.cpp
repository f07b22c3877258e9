// tolvane-host mesh: an arrow extruded as the extrusion button does, exported
// as a 3-D file.
#include <iostream>
#include <memory>

#include "mesh_console.h"
#include "program.h"

namespace program {

Command AddMeshCommand(CLI::App& app) {
  auto o = std::make_shared<host::mesh::MeshOptions>();
  CLI::App* mesh = app.add_subcommand(
      "mesh", "make an arrow, extrude it as the extrusion button does, and export the mesh as a 3-D file");
  AddPluginOptions(mesh, &o->session);
  AddArrowOptions(mesh, &o->sets, &o->raw);
  mesh->add_option("--depth", o->depth, "the extrusion's depth along z (20 by default)")
      ->type_name("D");
  mesh->add_flag("--rounded", o->rounded, "rounded caps, as with the arrow's rounded caps option");
  mesh->add_option("--format", o->format, "glb (the default), gltf, obj, stl or ply")
      ->check(CLI::IsMember({"glb", "gltf", "obj", "stl", "ply"}));
  mesh->add_option("-o", o->output, "the file to write")->type_name("FILE")->required()->check(kNonEmpty);
  mesh->footer("Example:\n  tolvane-host mesh --format glb -o arrow.glb --set ARROW_CHEVRON=true");
  return {mesh, [o] { return host::mesh::MeshCommand(*o, std::cout, std::cerr); }};
}

}  // namespace program
