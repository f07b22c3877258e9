/* Dialogs, user areas and custom interface elements.
 *
 * A custom interface element is the editor the attribute editor shows for a
 * parameter. Its registration object (ha_customgui_class) makes and destroys
 * instances; each instance is a sub-dialog of the attribute editor that lays
 * out gadgets, among them user areas the module draws itself. The values of
 * an instance are reached through the library the element installs under
 * its own ID (ha_customgui_lib).
 *
 * Dialog and user-area messages are containers with an ID (the container
 * suite's get_id/set_id). Coordinates are whole pixels, x to the right and
 * y downwards; a user area's own coordinates start at its top left corner. */
#ifndef HA_GUI_H
#define HA_GUI_H

#include "ha_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ha_dialog_s* ha_dialog;     /* a dialog of the module (an element instance) */
typedef struct ha_userarea_s* ha_userarea; /* a user area attached to a module object */
typedef struct ha_plugin_s* ha_plugin;     /* a registered plug-in record */

enum { HA_PLUGINTYPE_CUSTOMGUI = 1009 };

/* Four-character message codes. */
enum {
  HA_BFM_ACTION = 0x62414354,       /* 'bACT' an action sent to the parent */
  HA_BFM_ACTION_ID = 0x6D656964,    /* 'meid' the sender's ID */
  HA_BFM_ACTION_VALUE = 0x6D657661, /* 'meva' the sender's value */
  HA_BFM_INPUT = 0x62496E70,        /* 'bInp' an input event */
  HA_BFM_INPUT_DEVICE = 0x69706476, /* 'ipdv' */
  HA_BFM_INPUT_MOUSE = 0x6D6F7573,  /* 'mous' */
  HA_BFM_INPUT_KEYBOARD = 0x6B627264, /* 'kbrd' */
  HA_BFM_INPUT_CHANNEL = 0x69706368,  /* 'ipch' the button or key */
  HA_BFM_INPUT_X = 0x69707678,      /* 'ipvx' pointer x in window coordinates */
  HA_BFM_INPUT_Y = 0x69707679,      /* 'ipvy' pointer y in window coordinates */
  HA_BFM_DRAW = 0x62447277          /* 'bDrw' the message of a draw call */
};

/* What a module dialog implements. `user` is the pointer given at alloc. */
typedef struct ha_dialog_class {
  uint32_t size;
  int32_t (HA_CALL *create_layout)(void* user, ha_dialog dlg);
  int32_t (HA_CALL *init_values)(void* user, ha_dialog dlg);
  /* A gadget `id` acted; `msg` (borrowed) is its action message. */
  int32_t (HA_CALL *command)(void* user, ha_dialog dlg, int32_t id, ha_container msg);
} ha_dialog_class;

/* What a module user area implements. `user` is the pointer given at attach. */
typedef struct ha_userarea_class {
  uint32_t size;
  int32_t (HA_CALL *init)(void* user, ha_userarea ua);
  int32_t (HA_CALL *init_values)(void* user, ha_userarea ua);
  /* The smallest size the area needs; 0 when it has no wish. */
  int32_t (HA_CALL *get_min_size)(void* user, ha_userarea ua, int32_t* w, int32_t* h);
  /* Draw the area (x1..x2, y1..y2 need redrawing); drawing calls are only
   * honoured during this call. */
  void (HA_CALL *draw)(void* user, ha_userarea ua, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       ha_container msg);
  /* An input event; 1 when the area used it. */
  int32_t (HA_CALL *input_event)(void* user, ha_userarea ua, ha_container msg);
} ha_userarea_class;

/* What a module implements for a custom interface element. */
typedef struct ha_customgui_class {
  uint32_t size;
  void* user; /* the module's registration object */
  int32_t (HA_CALL *get_id)(void* user);
  /* A new instance for a parameter with description settings `settings`
   * (borrowed); answers the instance's dialog, or null. */
  ha_dialog (HA_CALL *alloc_instance)(void* user, ha_container settings);
  /* Destroys an instance: its dialog and the dialog's `user` pointer. */
  void (HA_CALL *free_instance)(void* user, ha_dialog dlg, void* instance);
  const char* (HA_CALL *resource_symbol)(void* user);
  const void* (HA_CALL *get_properties)(void* user); /* the element's own settings, or null */
  /* Points *table at the data type IDs the element edits; answers their number. */
  int32_t (HA_CALL *supported_types)(void* user, const int32_t** table);
  /* The host is done with the registration object: the module destroys it. */
  void (HA_CALL *destroy)(void* user);
} ha_customgui_class;

typedef struct ha_customgui_info {
  uint32_t size;
  int32_t id;
  const char* name; /* UTF-8, copied */
  int32_t info;
  const ha_customgui_class* cls; /* copied */
} ha_customgui_info;

/* The library an element installs under its own ID: how the host reaches an
 * instance's value. `instance` is the dialog's `user` pointer. The record is
 * HA_CUSTOMGUI_LIB_SIZE bytes; entries the module leaves null (zero) are
 * not offered. */
typedef struct ha_customgui_lib {
  /* Shows `value` (borrowed; `tri` non-zero when several differing values
   * are selected). */
  int32_t (HA_CALL *set_data)(void* instance, ha_dialog dlg, ha_data value, int32_t tri);
  /* The value the instance holds, as a new value the host then owns (null
   * when there is none); *tri tells whether it stands for several. */
  ha_data (HA_CALL *get_data)(void* instance, ha_dialog dlg, int32_t* tri);
} ha_customgui_lib;

#define HA_CUSTOMGUI_LIB_SIZE 264

typedef struct ha_gui_suite {
  uint32_t size;

  /* Registers a custom interface element; 1 when registered. The host owns
   * the registration object (cls->user) from this call on, whatever it
   * answers: a refused one is destroyed at once. */
  int32_t (HA_CALL *register_customgui)(const ha_customgui_info* info);
  /* Installs a library record under `id`; the record stays the module's and
   * must live while the module is loaded. 1 when installed. */
  int32_t (HA_CALL *install_library)(int32_t id, const void* lib, int32_t version, int32_t size);
  /* A registered plug-in of a type (HA_PLUGINTYPE_...), or null. */
  ha_plugin (HA_CALL *find_plugin)(int32_t plugin_type, int32_t id);

  /* Dialogs. A new dialog for an instance of the element `plugin`; the
   * module frees it. Null when out of memory or `plugin` is not an element. */
  ha_dialog (HA_CALL *customgui_dialog_alloc)(ha_container settings, ha_plugin plugin,
                                              const ha_dialog_class* cls, void* user);
  void (HA_CALL *dialog_free)(ha_dialog dlg); /* null is allowed */
  int32_t (HA_CALL *dialog_get_id)(ha_dialog dlg);
  /* The host's own layout step and command handling. */
  int32_t (HA_CALL *dialog_default_layout)(ha_dialog dlg);
  int32_t (HA_CALL *dialog_default_command)(ha_dialog dlg, int32_t id, ha_container msg);
  int32_t (HA_CALL *group_begin)(ha_dialog dlg, int32_t id, int32_t flags, int32_t cols,
                                 int32_t rows, const char* title, int32_t groupflags,
                                 int32_t initw, int32_t inith);
  int32_t (HA_CALL *group_space)(ha_dialog dlg, int32_t spacex, int32_t spacey);
  int32_t (HA_CALL *group_end)(ha_dialog dlg);
  int32_t (HA_CALL *add_user_area)(ha_dialog dlg, int32_t id, int32_t flags, int32_t initw,
                                   int32_t inith);
  /* Binds the user area gadget `id` to a module object; answers its handle,
   * valid until detached or the dialog is freed; null when there is no such
   * gadget. */
  ha_userarea (HA_CALL *attach_user_area)(ha_dialog dlg, int32_t id, const ha_userarea_class* cls,
                                          void* user, int32_t flags);
  /* Sends `msg` (borrowed) to the dialog's parent; 1 when the parent took
   * it (the attribute editor: an action whose value it stored). */
  int32_t (HA_CALL *dialog_send_parent_message)(ha_dialog dlg, ha_container msg);

  /* User areas. */
  void (HA_CALL *userarea_detach)(ha_userarea ua);
  int32_t (HA_CALL *userarea_get_id)(ha_userarea ua);
  void (HA_CALL *userarea_redraw)(ha_userarea ua);
  /* Sends `msg` (borrowed) to the dialog the area lies in; answers what the
   * dialog's command answered. */
  int32_t (HA_CALL *userarea_send_parent_message)(ha_userarea ua, ha_container msg);
  /* Window coordinates into the area's own; 1 on success. */
  int32_t (HA_CALL *userarea_global_to_local)(ha_userarea ua, int32_t* x, int32_t* y);
  /* Drawing, honoured only inside `draw`. */
  void (HA_CALL *offscreen_on)(ha_userarea ua);
  void (HA_CALL *draw_set_pen)(ha_userarea ua, const ha_vector* color); /* components 0..1 */
  /* Fills the rectangle including both corners, clipped to the area. */
  void (HA_CALL *draw_rectangle)(ha_userarea ua, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
} ha_gui_suite;

#ifdef __cplusplus
}
#endif

#endif
