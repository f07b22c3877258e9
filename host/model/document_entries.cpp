// The functions of the document suite (suites/ha_document.cpp makes the
// table): undo groups, insertion and the spline plane.
#include "document_entries.h"

#include <string>

#include "core.h"
#include "model.h"

namespace host {
namespace document_entries {

int32_t DocStartUndo(ha_document h) {
  Document* doc = CheckDocument(h, "start_undo");
  if (doc == nullptr) return 0;
  doc->StartUndo();
  return 1;
}
int32_t DocAddUndo(ha_document h, int32_t kind, ha_object oh) {
  Document* doc = CheckDocument(h, "add_undo");
  Object* op = CheckObject(oh, "add_undo");
  if (doc == nullptr || op == nullptr) return 0;
  if (kind != HA_UNDO_CHANGE && kind != HA_UNDO_NEW) {
    ReportMisuse("add_undo: unknown undo kind " + std::to_string(kind));
    return 0;
  }
  // A new object is recorded once it is in the document, never before.
  if (kind == HA_UNDO_NEW && op->Doc() != doc) {
    ReportMisuse("add_undo: new object recorded while it is not in the document");
    return 0;
  }
  return doc->AddUndo(kind, op) ? 1 : 0;
}
int32_t DocEndUndo(ha_document h) {
  Document* doc = CheckDocument(h, "end_undo");
  if (doc == nullptr) return 0;
  doc->EndUndo();
  return 1;
}
void DocInsert(ha_document h, ha_object oh, ha_object parent, ha_object pred, int32_t) {
  Document* doc = CheckDocument(h, "insert_object");
  Object* op = CheckObject(oh, "insert_object");
  if (doc == nullptr || op == nullptr) return;
  doc->Insert(op, CheckObject(parent, "insert_object"), CheckObject(pred, "insert_object"));
}
int32_t DocSplinePlane(ha_document h) {
  Document* doc = CheckDocument(h, "get_spline_plane");
  return doc != nullptr ? doc->SplinePlane() : 0;
}

}  // namespace document_entries
}  // namespace host
