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
  ha_nodedata (HA_CALL *alloc)(const void* user);
  /* Destroys an instance made by `alloc`; the host calls it exactly once. */
  void (HA_CALL *free)(ha_nodedata data);
  int32_t (HA_CALL *init)(ha_nodedata data, ha_object node);
  int32_t (HA_CALL *message)(ha_nodedata data, ha_object node, int32_t type, void* msg);
  /* Whether the attribute editor enables a parameter. `value` is the current
   * value (borrowed), `description` the parameter's description settings
   * (borrowed, may be null). */
  int32_t (HA_CALL *get_d_enabling)(ha_nodedata data, ha_object node, const ha_descid* id,
                                    ha_data value, int32_t flags, ha_container description);
  /* A new spline object the host then owns, or null. */
  ha_object (HA_CALL *get_contour)(ha_nodedata data, ha_object op, ha_document doc, double lod,
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

typedef void (HA_CALL *ha_crash_handler)(char* text);

typedef struct ha_resource_suite {
  uint32_t size;

  /* Loads the folder "resources" inside `plugin_dir`: strings, descriptions
   * and icons. Null when the folder or its string table cannot be loaded. */
  ha_resource (HA_CALL *load)(const char* plugin_dir);
  void (HA_CALL *free)(ha_resource res); /* null is allowed */
  /* The text of string `id`; an empty text when there is no such string. */
  ha_text (HA_CALL *load_string)(ha_resource res, int32_t id);
  /* An icon file of the resource folder; pixel_ratio 0 means "not given".
   * Null when the file is missing or not a readable image. */
  ha_bitmap (HA_CALL *load_bitmap)(ha_resource res, const char* name, double pixel_ratio);
  void (HA_CALL *free_bitmap)(ha_bitmap bmp);

  /* One console line. */
  void (HA_CALL *print)(const char* line);
  /* A modal message box; answers the button chosen (1 = OK). */
  int32_t (HA_CALL *out_string)(const char* text, int32_t flags);

  /* Registers an object plug-in; answers 1 when registered, 0 otherwise. */
  int32_t (HA_CALL *register_object_plugin)(const ha_object_plugin_info* info);
  /* The enabling answer of the host's base object class. */
  int32_t (HA_CALL *base_get_d_enabling)(ha_object node, const ha_descid* id, ha_data value,
                                         int32_t flags, ha_container description);
} ha_resource_suite;

/* Offered only by hosts that keep a crash handler (release 12). */
typedef struct ha_crash_suite {
  uint32_t size;
  ha_crash_handler (HA_CALL *get_handler)(void);
  void (HA_CALL *set_handler)(ha_crash_handler handler);
} ha_crash_suite;

/* The plug-in class and registration records: a 32-bit size member, then
 * pointers only (the size is padded to a pointer's width), so member k sits
 * at k pointer widths: on 32-bit targets 0, 4, 8, ... 28 and 32 bytes in all. */
HA_STATIC_ASSERT(offsetof(ha_object_plugin_class, user) == 1 * HA_PTR, "plug-in class: user");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_class, alloc) == 2 * HA_PTR, "plug-in class: alloc");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_class, free) == 3 * HA_PTR, "plug-in class: free");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_class, init) == 4 * HA_PTR, "plug-in class: init");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_class, message) == 5 * HA_PTR, "plug-in class: message");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_class, get_d_enabling) == 6 * HA_PTR,
                 "plug-in class: get_d_enabling");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_class, get_contour) == 7 * HA_PTR, "plug-in class: get_contour");
HA_STATIC_ASSERT(sizeof(ha_object_plugin_class) == 8 * HA_PTR, "plug-in class: eight members");
HA_STATIC_ASSERT(HA_PTR != 4 || (offsetof(ha_object_plugin_class, get_contour) == 28 &&
                                 sizeof(ha_object_plugin_class) == 32),
                 "plug-in class on 32-bit: 32 bytes");

/* Registration: size and ID share the first 8 bytes; then name, flags,
 * class, description, icon and disk level, each in a pointer-wide slot
 * (on 32-bit: 8, 12, 16, 20, 24, 28; 32 bytes in all). */
HA_STATIC_ASSERT(offsetof(ha_object_plugin_info, id) == 4, "registration: id");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_info, name) == 8, "registration: name");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_info, info) == 8 + HA_PTR, "registration: info");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_info, cls) == 8 + 2 * HA_PTR, "registration: class");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_info, description) == 8 + 3 * HA_PTR, "registration: description");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_info, icon) == 8 + 4 * HA_PTR, "registration: icon");
HA_STATIC_ASSERT(offsetof(ha_object_plugin_info, disk_level) == 8 + 5 * HA_PTR, "registration: disk level");
HA_STATIC_ASSERT(sizeof(ha_object_plugin_info) == 8 + 6 * HA_PTR, "registration: size");
HA_STATIC_ASSERT(HA_PTR != 4 || sizeof(ha_object_plugin_info) == 32, "registration on 32-bit: 32 bytes");

HA_STATIC_ASSERT(offsetof(ha_crash_suite, get_handler) == HA_PTR &&
                     offsetof(ha_crash_suite, set_handler) == 2 * HA_PTR,
                 "crash suite: size, then two functions");

#ifdef __cplusplus
}
#endif

#endif
