/* Basic types of the host/module boundary.
 *
 * Only plain C crosses the boundary: fixed-width integers, doubles, UTF-8
 * `const char*`, plain structs and opaque handles. Each handle kind is a
 * distinct incomplete struct so the compiler tells an object from a container.
 * The host checks every handle it receives; an unknown or null handle makes
 * the call fail (answer 0, null or nothing) instead of crashing. */
#ifndef HA_TYPES_H
#define HA_TYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The calling convention of every function that crosses the boundary: the
 * table's functions, the module's callbacks, the entry. On 32-bit x86, where
 * compilers know several conventions and may be told to default to another,
 * it is the C convention (cdecl), named explicitly so that host and module
 * agree whatever their compilers' default; other targets have one. Every
 * function pointer of these headers is declared with it. */
#if defined(__i386__) || defined(_M_IX86)
#if defined(_MSC_VER)
#define HA_CALL __cdecl
#else
#define HA_CALL __attribute__((cdecl))
#endif
#else
#define HA_CALL
#endif

typedef struct ha_object_s*    ha_object;     /* scene object, also spline objects */
typedef struct ha_container_s* ha_container;  /* parameter container */
typedef struct ha_document_s*  ha_document;   /* document with its object tree and undo */
typedef struct ha_file_s*      ha_file;       /* byte file */
typedef struct ha_resource_s*  ha_resource;   /* a plug-in's loaded resource folder */
typedef struct ha_bitmap_s*    ha_bitmap;     /* a loaded icon */
typedef struct ha_text_s*      ha_text;       /* host-made UTF-8 text handed to the module */
typedef struct ha_data_s*      ha_data;       /* one parameter value of any type */
typedef struct ha_thread_s*    ha_thread;     /* the evaluating thread (opaque, unused) */

/* Three 64-bit floats; the module's `Vector` has exactly this layout. */
typedef struct ha_vector {
  double x, y, z;
} ha_vector;

/* One level of a description ID. */
typedef struct ha_desclevel {
  int32_t id;
  int32_t dtype;
  int32_t creator;
} ha_desclevel;

#define HA_DESCID_MAX_DEPTH 3

/* A description ID: `depth` used levels, the first holds the parameter ID. */
typedef struct ha_descid {
  int32_t depth;
  ha_desclevel level[HA_DESCID_MAX_DEPTH];
} ha_descid;

/* Data of object message 17: a parameter of the object was changed.
 * The third member is the ID pointer on every platform (on 32-bit builds it
 * is the third 4-byte word). */
typedef struct ha_desc_changed {
  ha_document doc;
  int32_t flags;
  const ha_descid* id;
} ha_desc_changed;

/* Data of object message 18: a button of the object was pressed. */
typedef struct ha_desc_command {
  ha_descid id;
} ha_desc_command;

/* Value types a container entry or an `ha_data` can hold. */
enum {
  HA_TYPE_NONE = 0,
  HA_TYPE_INT32 = 15,   /* Bool values are stored as Int32 */
  HA_TYPE_FLOAT = 19,
  HA_TYPE_VECTOR = 23,
  HA_TYPE_STRING = 130,
  HA_TYPE_LINK = 133
  /* custom data types use their registered ID */
};

/* Object messages the host and the module exchange. */
enum {
  HA_MSG_UPDATE = 5,
  HA_MSG_CHANGE = 7,
  HA_MSG_DESCRIPTION_POSTSETPARAMETER = 17,
  HA_MSG_DESCRIPTION_COMMAND = 18,
  HA_MSG_MENUPREPARE = 22
};

/* Undo entry kinds. */
enum {
  HA_UNDO_CHANGE = 40,  /* recorded before an existing object is changed or moved */
  HA_UNDO_NEW = 44      /* recorded after a new object was inserted */
};

/* Actions of the module entry `c4d_main(action, p1, p2, p3)`. */
enum {
  HA_ACTION_INIT_SYS = 1,  /* p1: const ha_host_table*, p3: const char* module file (UTF-8) */
  HA_ACTION_START = 2,
  HA_ACTION_END = 3,
  HA_ACTION_MESSAGE = 6    /* p1: message ID (intptr_t), p2: message data */
};

typedef int32_t (HA_CALL *ha_entry_fn)(int32_t action, void* p1, void* p2, void* p3);

/* ---------------------------------------------------------------------------
 * Layouts that cross the boundary, pinned at compile time for every build.
 * Host and module may come from different compilers; on 32-bit targets
 * (4-byte pointers) and 64-bit targets alike each record must have exactly
 * these sizes and offsets. HA_PTR is the size of a pointer. */
#ifdef __cplusplus
#define HA_STATIC_ASSERT(cond, text) static_assert(cond, text)
#else
#define HA_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif
#define HA_PTR sizeof(void*)

HA_STATIC_ASSERT(HA_PTR == 4 || HA_PTR == 8, "pointers of 4 or 8 bytes");

/* On 32-bit x86 the boundary's functions are cdecl: the caller removes the
 * arguments, not the callee (as stdcall would), nor are they passed in
 * registers (as fastcall would). Checked where the compiler can compare the
 * conventions of two function pointer types (GNU C). */
#if !defined(__cplusplus) && defined(__GNUC__) && defined(__i386__)
HA_STATIC_ASSERT(__builtin_types_compatible_p(ha_entry_fn, int32_t(__attribute__((cdecl)) *)(
                                                               int32_t, void*, void*, void*)) &&
                     !__builtin_types_compatible_p(ha_entry_fn, int32_t(__attribute__((stdcall)) *)(
                                                                    int32_t, void*, void*, void*)) &&
                     !__builtin_types_compatible_p(ha_entry_fn, int32_t(__attribute__((fastcall)) *)(
                                                                    int32_t, void*, void*, void*)),
                 "the entry and the table's functions are cdecl on 32-bit x86");
#endif
HA_STATIC_ASSERT(sizeof(int32_t) == 4 && sizeof(double) == 8, "fixed-width values");

HA_STATIC_ASSERT(sizeof(ha_vector) == 24, "ha_vector: three doubles");
HA_STATIC_ASSERT(offsetof(ha_vector, y) == 8 && offsetof(ha_vector, z) == 16, "ha_vector: x, y, z");

HA_STATIC_ASSERT(sizeof(ha_desclevel) == 12, "ha_desclevel: three 32-bit values");
HA_STATIC_ASSERT(offsetof(ha_desclevel, dtype) == 4 && offsetof(ha_desclevel, creator) == 8,
                 "ha_desclevel: id, dtype, creator");
HA_STATIC_ASSERT(sizeof(ha_descid) == 4 + 12 * HA_DESCID_MAX_DEPTH, "ha_descid: depth then levels");
HA_STATIC_ASSERT(offsetof(ha_descid, level) == 4, "ha_descid: levels follow the depth");
HA_STATIC_ASSERT(sizeof(ha_desc_command) == sizeof(ha_descid), "ha_desc_command: the ID alone");

/* The changed-parameter record: document pointer, 32-bit flags, ID pointer.
 * With 4-byte pointers it is three 4-byte words with the ID pointer third;
 * with 8-byte pointers the flags are padded to 8 bytes. */
HA_STATIC_ASSERT(offsetof(ha_desc_changed, doc) == 0, "ha_desc_changed: document first");
HA_STATIC_ASSERT(offsetof(ha_desc_changed, flags) == HA_PTR, "ha_desc_changed: flags second");
HA_STATIC_ASSERT(offsetof(ha_desc_changed, id) == 2 * HA_PTR, "ha_desc_changed: ID pointer third");
HA_STATIC_ASSERT(sizeof(ha_desc_changed) == 3 * HA_PTR, "ha_desc_changed: three words");
HA_STATIC_ASSERT(HA_PTR != 4 || (offsetof(ha_desc_changed, id) == 8 && sizeof(ha_desc_changed) == 12),
                 "ha_desc_changed on 32-bit: the ID pointer is the third 4-byte word");
HA_STATIC_ASSERT(HA_PTR != 8 || (offsetof(ha_desc_changed, id) == 16 && sizeof(ha_desc_changed) == 24),
                 "ha_desc_changed on 64-bit: the ID pointer at byte 16");

#define HA_ENTRY_NAME "c4d_main"

#ifdef __cplusplus
}
#endif

#endif
