// The functions of the file suite, each as the table's entry calls it
// (file_entries.cpp). The table itself is made in suites/ha_file.cpp.
#ifndef HOST_FILE_ENTRIES_H
#define HOST_FILE_ENTRIES_H

#include "hostapi.h"

namespace host {
namespace file_entries {

ha_text NameJoin(const char* dir, const char* name);
ha_text NameDirectory(const char* path);
ha_text NameFile(const char* path);
ha_text NameSetSuffix(const char* path, const char* suffix);
int32_t NameCheckSuffix(const char* path, const char* suffix);
int32_t Exists(const char* path, int32_t isDir);
ha_text FileSelect(int32_t type, int32_t mode, const char* title, const char* start);
ha_file FileAlloc();
void FileFree(ha_file file);
int32_t FileOpen(ha_file file, const char* path, int32_t mode, int32_t errorDialog, int32_t order,
                 int32_t type, int32_t creator);
int32_t FileClose(ha_file file);
int64_t FileLength(ha_file file);
int32_t WriteBool(ha_file file, int32_t value);
int32_t WriteInt32(ha_file file, int32_t value);
int32_t WriteFloat32(ha_file file, float value);
int32_t WriteString(ha_file file, const char* utf8, int32_t encoding);
int32_t WriteByte(ha_file file, int32_t value);
int32_t ReadBool(ha_file file, int32_t* value);
int32_t ReadInt32(ha_file file, int32_t* value);
int32_t ReadFloat32(ha_file file, float* value);
int32_t ReadString(ha_file file, int32_t encoding, ha_text* value);
int32_t Rename(const char* from, const char* to);
int32_t Remove(const char* path);

}  // namespace file_entries
}  // namespace host

#endif
