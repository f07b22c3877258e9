/* Resources, console, message boxes and plug-in registration. */
#ifndef HA_RESOURCE_H
#define HA_RESOURCE_H

#include "ha_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ha_nodedata_s* ha_nodedata; /* module-owned data of one plug-in object */

/* What the module implements for an object plug-in. Every function receives
 * the instance data the module's `alloc` answered and the host object it
 * belongs to. Called on the host's threads, never concurrently for one object. */
typedef struct ha_object_plugin_class {
  uint32_t size;
  const void* user; /* handed back to `alloc` */
  /* A new instance, or null when out of memory. */
  ha_nodedata (*alloc)(const void* user);
  /* Destroys an instance made by `alloc`; the host calls it exactly once. */
  void (*free)(ha_nodedata data);
  int32_t (*init)(ha_nodedata data, ha_object node);
  int32_t (*message)(ha_nodedata data, ha_object node, int32_t type, void* msg);
  /* Whether the attribute editor enables a parameter. `value` is the current
   * value (borrowed), `description` the parameter's description settings
   * (borrowed, may be null). */
  int32_t (*get_d_enabling)(ha_nodedata data, ha_object node, const ha_descid* id,
                            ha_data value, int32_t flags, ha_container description);
  /* A new spline object the host then owns, or null. */
  ha_object (*get_contour)(ha_nodedata data, ha_object op, ha_document doc, double lod,
                           ha_thread thread);
} ha_object_plugin_class;

typedef struct ha_object_plugin_info {
  uint32_t size;
  int32_t id;
  const char* name; /* UTF-8, copied by the host */
  int32_t info;     /* object-info flags */
  const ha_object_plugin_class* cls; /* must stay alive while the module is loaded */
  const char* description;           /* description resource name, copied */
  ha_bitmap icon;                    /* borrowed; the host copies what it needs */
  int32_t disk_level;
} ha_object_plugin_info;

typedef void (*ha_crash_handler)(char* text);

typedef struct ha_resource_suite {
  uint32_t size;

  /* Loads the folder "resources" inside `plugin_dir`: strings, descriptions
   * and icons. Null when the folder or its string table cannot be loaded. */
  ha_resource (*load)(const char* plugin_dir);
  void (*free)(ha_resource res); /* null is allowed */
  /* The text of string `id`; an empty text when there is no such string. */
  ha_text (*load_string)(ha_resource res, int32_t id);
  /* An icon file of the resource folder; pixel_ratio 0 means "not given".
   * Null when the file is missing or not a readable image. */
  ha_bitmap (*load_bitmap)(ha_resource res, const char* name, double pixel_ratio);
  void (*free_bitmap)(ha_bitmap bmp);

  /* One console line. */
  void (*print)(const char* line);
  /* A modal message box; answers the button chosen (1 = OK). */
  int32_t (*out_string)(const char* text, int32_t flags);

  /* Registers an object plug-in; answers 1 when registered, 0 otherwise. */
  int32_t (*register_object_plugin)(const ha_object_plugin_info* info);
  /* The enabling answer of the host's base object class. */
  int32_t (*base_get_d_enabling)(ha_object node, const ha_descid* id, ha_data value,
                                 int32_t flags, ha_container description);
} ha_resource_suite;

/* Offered only by hosts that keep a crash handler (release 12). */
typedef struct ha_crash_suite {
  uint32_t size;
  ha_crash_handler (*get_handler)(void);
  void (*set_handler)(ha_crash_handler handler);
} ha_crash_suite;

#ifdef __cplusplus
}
#endif

#endif
