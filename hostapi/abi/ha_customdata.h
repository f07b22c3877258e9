/* Custom data types: parameter value types a module adds to the host. The
 * host keeps such values in containers and single values, and reaches them
 * only through the functions of the type's class: it allocates, copies,
 * compares, saves, loads and frees them there. */
#ifndef HA_CUSTOMDATA_H
#define HA_CUSTOMDATA_H

#include "ha_types.h"
#include "ha_hyperfile.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ha_customdata_s* ha_customdata;   /* one value, made by its type's alloc_data */
typedef struct ha_aliastrans_s* ha_aliastrans;   /* link translation while copying (may be null) */

/* What the module implements for a custom data type. `user` is the module's
 * class object; every function gets it back. Called on the host's threads. */
typedef struct ha_customdata_class {
  uint32_t size;
  void* user;
  int32_t (HA_CALL *get_id)(void* user);
  /* A new empty value; null when out of memory. */
  ha_customdata (HA_CALL *alloc_data)(void* user);
  /* Frees a value made by alloc_data; null is allowed. */
  void (HA_CALL *free_data)(void* user, ha_customdata data);
  /* Makes `dst` a copy of `src`; 1 on success. */
  int32_t (HA_CALL *copy_data)(void* user, ha_customdata src, ha_customdata dst,
                               ha_aliastrans trans);
  /* -1, 0 or 1. */
  int32_t (HA_CALL *compare)(void* user, ha_customdata a, ha_customdata b);
  /* Stores the value; 1 on success. */
  int32_t (HA_CALL *write_data)(void* user, ha_customdata data, ha_hyperfile hf);
  /* Fills a new empty value from what write_data stored at disk level
   * `level`; 1 when the value was read whole, 0 when it could not be (the
   * data is damaged, or memory is short): the host then refuses the scene. */
  int32_t (HA_CALL *read_data)(void* user, ha_customdata data, ha_hyperfile hf, int32_t level);
  /* The symbol description resources name the type by, e.g. "DOTS". */
  const char* (HA_CALL *resource_symbol)(void* user);
  /* Writes the default description settings of a parameter of this type
   * into `description` (a container the host owns). */
  void (HA_CALL *default_properties)(void* user, ha_container description);
  /* The host is done with the class object: the module destroys it. */
  void (HA_CALL *destroy)(void* user);
} ha_customdata_class;

typedef struct ha_customdata_info {
  uint32_t size;
  int32_t id;
  const char* name; /* UTF-8, copied */
  int32_t info;     /* information flags */
  const ha_customdata_class* cls; /* copied */
  int32_t disk_level;             /* stored with every saved value, handed to read_data */
} ha_customdata_info;

/* Description setting that names the interface element of a parameter. */
enum { HA_DESC_CUSTOMGUI = 21, HA_DESC_ANIMATE = 10 };

typedef struct ha_customdata_suite {
  uint32_t size;
  /* Registers a custom data type; 1 when registered, 0 otherwise. The host
   * owns the class object (cls->user) from this call on, whatever it
   * answers: a refused one is destroyed at once. */
  int32_t (HA_CALL *register_type)(const ha_customdata_info* info);
} ha_customdata_suite;

#ifdef __cplusplus
}
#endif

#endif
