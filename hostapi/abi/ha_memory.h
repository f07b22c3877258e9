/* Memory and host texts. */
#ifndef HA_MEMORY_H
#define HA_MEMORY_H

#include "ha_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ha_memory_suite {
  uint32_t size; /* sizeof(ha_memory_suite) as the host built it */

  /* Every allocation of the module goes through here, tagged with the source
   * file and line that asked for it. Answers null when out of memory (or when
   * the host was told to make this allocation fail). The block stays the
   * module's until it hands it back to `free`. */
  void* (HA_CALL *alloc)(size_t size, const char* file, int32_t line);
  void (HA_CALL *free)(void* block); /* null is allowed */

  /* Texts the host makes for the module (loaded strings, file names, picked
   * paths). The module reads the UTF-8 bytes and must free every text it got. */
  const char* (HA_CALL *text_get)(ha_text text); /* "" for null */
  void (HA_CALL *text_free)(ha_text text);       /* null is allowed */
} ha_memory_suite;

#ifdef __cplusplus
}
#endif

#endif
