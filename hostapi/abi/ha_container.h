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

  ha_container (*alloc)(void);            /* an empty container the module owns; null when out of memory */
  void (*free)(ha_container bc);          /* only for containers the module owns; null is allowed */

  int32_t (*get_type)(ha_container bc, int32_t id); /* HA_TYPE_NONE when absent */

  /* Typed reads answer the preset when the entry is absent or of another type. */
  int32_t (*get_int32)(ha_container bc, int32_t id, int32_t preset);
  double (*get_float)(ha_container bc, int32_t id, double preset);
  void (*get_vector)(ha_container bc, int32_t id, const ha_vector* preset, ha_vector* out);
  ha_text (*get_string)(ha_container bc, int32_t id); /* an empty text when absent */
  /* The linked object when it lives in `doc` and is of type `instance_of`
   * (5155 accepts any object); null otherwise. */
  ha_object (*get_link)(ha_container bc, int32_t id, ha_document doc, int32_t instance_of);

  void (*set_int32)(ha_container bc, int32_t id, int32_t value);
  void (*set_float)(ha_container bc, int32_t id, double value);
  void (*set_vector)(ha_container bc, int32_t id, const ha_vector* value);
  void (*set_string)(ha_container bc, int32_t id, const char* value);
  void (*set_link)(ha_container bc, int32_t id, ha_object target); /* null clears the link */

  /* The container's own ID (a message's ID); 0 for a new container. */
  int32_t (*get_id)(ha_container bc);
  void (*set_id)(ha_container bc, int32_t id);
  /* A copy of `bc` with its ID that the module owns; null when out of memory. */
  ha_container (*copy)(ha_container bc);
  /* The custom data value of type `type` held under `id` (borrowed; valid
   * until the entry changes), or null when the entry is absent, of another
   * type or holds no value. */
  ha_customdata (*get_custom)(ha_container bc, int32_t id, int32_t type);
  /* Stores a copy of `value` (made through the type's class) under `id`;
   * 1 on success, 0 when the type is unknown or the copy failed. */
  int32_t (*set_custom)(ha_container bc, int32_t id, int32_t type, ha_customdata value);
  /* A copy of the entry under `id` as a new value the module owns (of type
   * HA_TYPE_NONE when absent); null when out of memory. */
  ha_data (*get_data)(ha_container bc, int32_t id);
  /* Stores a copy of `value` under `id`; 1 on success. */
  int32_t (*set_data)(ha_container bc, int32_t id, ha_data value);
} ha_container_suite;

typedef struct ha_data_suite {
  uint32_t size;
  ha_data (*alloc)(void); /* an empty value; null when out of memory */
  void (*free)(ha_data data);
  int32_t (*get_type)(ha_data data);
  int32_t (*get_int32)(ha_data data);
  double (*get_float)(ha_data data);

  /* The custom data value of type `type` the value holds (borrowed), or
   * null when it holds another type or nothing. */
  ha_customdata (*get_custom)(ha_data data, int32_t type);
  /* A new value the module owns holding a copy of custom data `value` of
   * type `type` (copied through the type's class); null when the type is
   * unknown or memory is short. */
  ha_data (*alloc_custom)(int32_t type, ha_customdata value);
} ha_data_suite;

#ifdef __cplusplus
}
#endif

#endif
