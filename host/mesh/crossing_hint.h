// Words a user can act on when an arrow's outline crosses itself: which of
// the arrow's settings make it cross.
#ifndef HOST_MESH_CROSSING_HINT_H
#define HOST_MESH_CROSSING_HINT_H

#include <string>

#include "session.h"

namespace host {
namespace mesh {

// For an evaluation of `op` (an arrow, or a set-up holding one) that failed
// with `reason`: when the reason is an outline that crosses or folds over
// itself, the settings of the arrow that make it so, as a sentence to put
// after the reason ("; it does not cross with ARROW_BARB_WIDTH at its
// default 50 (now -80): change that setting"). Found by trying: each
// setting that differs from a new arrow's is put back to the default alone,
// in the arrow's data only (no edit, no message, no undo step), and the
// outline checked again; every value is restored. Empty when the reason is
// another, or no arrow is found.
std::string CrossingHint(Session& session, Object* op, const std::string& reason);

}  // namespace mesh
}  // namespace host

#endif
