/* File names, file dialogs and byte files. */
#ifndef HA_FILE_H
#define HA_FILE_H

#include "ha_types.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { HA_FILEOPEN_READ = 1, HA_FILEOPEN_WRITE = 2 };
enum { HA_BYTEORDER_MOTOROLA = 1, HA_BYTEORDER_INTEL = 2 };
enum { HA_FILESELECT_LOAD = 0, HA_FILESELECT_SAVE = 1 };
enum { HA_STRINGENCODING_8BIT = 0, HA_STRINGENCODING_UTF8 = 4 };

typedef struct ha_file_suite {
  uint32_t size;

  /* File names, in the platform's own notation. Each answers a new text. */
  ha_text (HA_CALL *name_join)(const char* dir, const char* name);
  ha_text (HA_CALL *name_directory)(const char* path); /* "" for a bare name */
  ha_text (HA_CALL *name_file)(const char* path);      /* the last part */
  /* `path` with its suffix replaced by (or given) `suffix`. */
  ha_text (HA_CALL *name_set_suffix)(const char* path, const char* suffix);
  int32_t (HA_CALL *name_check_suffix)(const char* path, const char* suffix); /* case-insensitive */
  /* 1 when a directory (is_dir non-zero) or a plain file exists at `path`. */
  int32_t (HA_CALL *exists)(const char* path, int32_t is_dir);

  /* The modal file dialog. `start` names the starting directory and file
   * pattern. Answers the chosen path, or null when the user cancelled. */
  ha_text (HA_CALL *file_select)(int32_t type, int32_t mode, const char* title, const char* start);

  ha_file (HA_CALL *file_alloc)(void);     /* null when out of memory */
  void (HA_CALL *file_free)(ha_file file); /* closes an open file; null is allowed */
  int32_t (HA_CALL *file_open)(ha_file file, const char* path, int32_t mode, int32_t error_dialog,
                               int32_t order, int32_t type, int32_t creator);
  int32_t (HA_CALL *file_close)(ha_file file);
  int64_t (HA_CALL *file_length)(ha_file file); /* -1 when not open */

  /* Items in the byte order given at open; each answers 1 on success. */
  int32_t (HA_CALL *write_bool)(ha_file file, int32_t value); /* one byte: 1 or 0 */
  int32_t (HA_CALL *write_int32)(ha_file file, int32_t value);
  int32_t (HA_CALL *write_float32)(ha_file file, float value);
  int32_t (HA_CALL *write_string)(ha_file file, const char* utf8, int32_t encoding);
  int32_t (HA_CALL *write_byte)(ha_file file, int32_t value);
  int32_t (HA_CALL *read_bool)(ha_file file, int32_t* value);
  int32_t (HA_CALL *read_int32)(ha_file file, int32_t* value);
  int32_t (HA_CALL *read_float32)(ha_file file, float* value);
  /* A string item. Fails, allocating nothing, when its count is negative or
   * larger than the bytes left in the file. */
  int32_t (HA_CALL *read_string)(ha_file file, int32_t encoding, ha_text* value);

  /* For saving safely: replace `to` by `from` in one step, delete a file. */
  int32_t (HA_CALL *rename)(const char* from, const char* to);
  int32_t (HA_CALL *remove)(const char* path);
} ha_file_suite;

#ifdef __cplusplus
}
#endif

#endif
