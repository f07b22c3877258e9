/* Documents and undo. */
#ifndef HA_DOCUMENT_H
#define HA_DOCUMENT_H

#include "ha_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ha_document_suite {
  uint32_t size;
  /* Undo: entries recorded between start and end form one undo step. An entry
   * recorded outside a group forms a step of its own. add_undo answers 0, and
   * records nothing, when the object's state cannot be kept (memory short). */
  int32_t (HA_CALL *start_undo)(ha_document doc);
  int32_t (HA_CALL *add_undo)(ha_document doc, int32_t kind, ha_object op);
  int32_t (HA_CALL *end_undo)(ha_document doc);
  /* Inserts `op` under `parent` after `pred` (both may be null: the top of the
   * object list). The document owns the object from then on. */
  void (HA_CALL *insert_object)(ha_document doc, ha_object op, ha_object parent, ha_object pred,
                                int32_t check_names);
  int32_t (HA_CALL *get_spline_plane)(ha_document doc);
} ha_document_suite;

#ifdef __cplusplus
}
#endif

#endif
