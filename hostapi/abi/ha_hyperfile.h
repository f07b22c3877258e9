/* Scene-file primitives: what a custom data type's write and read functions
 * use to store one value in a scene file. */
#ifndef HA_HYPERFILE_H
#define HA_HYPERFILE_H

#include "ha_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ha_hyperfile_s* ha_hyperfile; /* the stream of one value being saved or loaded */

/* Each item is stored with its kind, so an item can only be read back as
 * what it was written as. A hyperfile handed to a read function holds exactly
 * the bytes its value was saved with: a read past them, or of an item of
 * another kind, fails, consumes nothing and leaves `*out` untouched. The host
 * takes such a failed read, like bytes the read function leaves unread, as a
 * damaged value and refuses the scene. Writes fail on a stream opened for
 * reading and the other way round. Every function answers 1 on success and
 * 0 on failure. */
typedef struct ha_hyperfile_suite {
  uint32_t size;
  int32_t (HA_CALL *write_int64)(ha_hyperfile hf, int64_t value);
  int32_t (HA_CALL *write_vector)(ha_hyperfile hf, const ha_vector* value);
  int32_t (HA_CALL *read_int64)(ha_hyperfile hf, int64_t* out);
  int32_t (HA_CALL *read_vector)(ha_hyperfile hf, ha_vector* out);
} ha_hyperfile_suite;

#ifdef __cplusplus
}
#endif

#endif
