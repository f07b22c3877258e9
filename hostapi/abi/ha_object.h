/* Scene objects, spline objects and the object tree. */
#ifndef HA_OBJECT_H
#define HA_OBJECT_H

#include "ha_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ha_object_suite {
  uint32_t size;

  /* A new object of a host type; the module owns it until it inserts it into
   * a document or frees it. Null when the type is unknown or memory is short. */
  ha_object (HA_CALL *alloc)(int32_t type);
  /* A new spline object with `point_count` points of spline type `type`
   * (0 linear to 4); null for another type or when memory is short. */
  ha_object (HA_CALL *spline_alloc)(int32_t point_count, int32_t type);
  /* Frees an object the module owns (removing it from a tree first). */
  void (HA_CALL *free)(ha_object op);

  int32_t (HA_CALL *get_type)(ha_object op);
  /* The object's own container, written in place; borrowed. */
  ha_container (HA_CALL *get_data_instance)(ha_object op);
  /* A copy of the object's container the module owns; null when out of memory. */
  ha_container (HA_CALL *get_data)(ha_object op);
  /* Writes `bc` into the object's container: merged into it when `merge` is
   * non-zero, replacing it otherwise. Answers 1 on success. */
  int32_t (HA_CALL *set_data)(ha_object op, ha_container bc, int32_t merge);

  ha_document (HA_CALL *get_document)(ha_object op); /* null when in no document */
  ha_object (HA_CALL *get_up)(ha_object op);
  ha_object (HA_CALL *get_down)(ha_object op);
  ha_object (HA_CALL *get_next)(ha_object op);
  ha_object (HA_CALL *get_pred)(ha_object op);
  /* Tree edits; the object is removed from wherever it was first. */
  void (HA_CALL *insert_under)(ha_object op, ha_object parent);      /* as first child */
  void (HA_CALL *insert_under_last)(ha_object op, ha_object parent); /* as last child */
  void (HA_CALL *remove)(ha_object op);

  /* Sends an object message; answers the object's answer. */
  int32_t (HA_CALL *message)(ha_object op, int32_t type, void* data);

  /* The writable points of a spline object (null for other objects) and
   * their number. */
  ha_vector* (HA_CALL *get_point_w)(ha_object op);
  int32_t (HA_CALL *get_point_count)(ha_object op);
} ha_object_suite;

#ifdef __cplusplus
}
#endif

#endif
