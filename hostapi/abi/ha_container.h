/* Parameter containers and single values. */
#ifndef HA_CONTAINER_H
#define HA_CONTAINER_H

#include "ha_types.h"
#include "ha_customdata.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ha_container_suite {
  uint32_t size;

  /* An empty container the module owns; null when out of memory. */
  ha_container (HA_CALL *alloc)(void);
  /* Only for containers the module owns; null is allowed. */
  void (HA_CALL *free)(ha_container bc);

  int32_t (HA_CALL *get_type)(ha_container bc, int32_t id); /* HA_TYPE_NONE when absent */

  /* Typed reads answer the preset when the entry is absent or of another type. */
  int32_t (HA_CALL *get_int32)(ha_container bc, int32_t id, int32_t preset);
  double (HA_CALL *get_float)(ha_container bc, int32_t id, double preset);
  void (HA_CALL *get_vector)(ha_container bc, int32_t id, const ha_vector* preset, ha_vector* out);
  ha_text (HA_CALL *get_string)(ha_container bc, int32_t id); /* an empty text when absent */
  /* The linked object when it lives in `doc` and is of type `instance_of`
   * (Obase accepts any object); null otherwise. */
  ha_object (HA_CALL *get_link)(ha_container bc, int32_t id, ha_document doc, int32_t instance_of);

  void (HA_CALL *set_int32)(ha_container bc, int32_t id, int32_t value);
  void (HA_CALL *set_float)(ha_container bc, int32_t id, double value);
  void (HA_CALL *set_vector)(ha_container bc, int32_t id, const ha_vector* value);
  void (HA_CALL *set_string)(ha_container bc, int32_t id, const char* value);
  /* A null target clears the link. */
  void (HA_CALL *set_link)(ha_container bc, int32_t id, ha_object target);

  /* The container's own ID (a message's ID); 0 for a new container. */
  int32_t (HA_CALL *get_id)(ha_container bc);
  void (HA_CALL *set_id)(ha_container bc, int32_t id);
  /* A copy of `bc` with its ID that the module owns; null when out of memory. */
  ha_container (HA_CALL *copy)(ha_container bc);
  /* The custom data value of type `type` held under `id` (borrowed; valid
   * until the entry changes), or null when the entry is absent, of another
   * type or holds no value. */
  ha_customdata (HA_CALL *get_custom)(ha_container bc, int32_t id, int32_t type);
  /* Stores a copy of `value` (made through the type's class) under `id`;
   * 1 on success, 0 when the type is unknown or the copy failed. */
  int32_t (HA_CALL *set_custom)(ha_container bc, int32_t id, int32_t type, ha_customdata value);
  /* A copy of the entry under `id` as a new value the module owns (of type
   * HA_TYPE_NONE when absent); null when out of memory. */
  ha_data (HA_CALL *get_data)(ha_container bc, int32_t id);
  /* Stores a copy of `value` under `id`; 1 on success. */
  int32_t (HA_CALL *set_data)(ha_container bc, int32_t id, ha_data value);
} ha_container_suite;

typedef struct ha_data_suite {
  uint32_t size;
  ha_data (HA_CALL *alloc)(void); /* an empty value; null when out of memory */
  void (HA_CALL *free)(ha_data data);
  int32_t (HA_CALL *get_type)(ha_data data);
  int32_t (HA_CALL *get_int32)(ha_data data);
  double (HA_CALL *get_float)(ha_data data);

  /* The custom data value of type `type` the value holds (borrowed), or
   * null when it holds another type or nothing. */
  ha_customdata (HA_CALL *get_custom)(ha_data data, int32_t type);
  /* A new value the module owns holding a copy of custom data `value` of
   * type `type` (copied through the type's class); null when the type is
   * unknown or memory is short. */
  ha_data (HA_CALL *alloc_custom)(int32_t type, ha_customdata value);
} ha_data_suite;

#ifdef __cplusplus
}
#endif

#endif
