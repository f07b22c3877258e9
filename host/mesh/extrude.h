// Extrusions for the mesh layer (see extrude.cpp and docs/meshes.md).
#ifndef HOST_MESH_EXTRUDE_H
#define HOST_MESH_EXTRUDE_H

#include <string>
#include <vector>

#include "mesh.h"

namespace host {
namespace mesh {

// One cap of an extrusion: flat, or rounded by a quarter circle of `radius`
// in `steps` steps.
struct CapSettings {
  bool rounded = false;
  int steps = 0;
  double radius = 0.0;
};

// The closed solid swept by a closed outline (checked as CheckOutline does)
// along `move`, with its two caps; no mesh and the reason when the outline
// is not usable or the movement does not leave its plane.
Evaluation Extrude(const std::vector<Vec3>& outline, Vec3 move, const CapSettings& startCap,
                   const CapSettings& endCap);

}  // namespace mesh
}  // namespace host

#endif
