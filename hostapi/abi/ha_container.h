/* Parameter containers and single values. */
#ifndef HA_CONTAINER_H
#define HA_CONTAINER_H

#include "ha_types.h"

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
} ha_container_suite;

typedef struct ha_data_suite {
  uint32_t size;
  ha_data (*alloc)(void); /* an empty value; null when out of memory */
  void (*free)(ha_data data);
  int32_t (*get_type)(ha_data data);
  int32_t (*get_int32)(ha_data data);
  double (*get_float)(ha_data data);
} ha_data_suite;

#ifdef __cplusplus
}
#endif

#endif
