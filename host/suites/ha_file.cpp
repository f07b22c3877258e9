// The file suite: file names, the file dialog, and files read and written
// item by item (formats/file_entries.cpp does the work).
#include "suites.h"

#include <cstdint>

#include "entry.h"
#include "file_entries.h"

namespace host {
namespace {

using namespace file_entries;

const ha_file_suite kSuite = MakeSuite<ha_file_suite,
    Entry<&NameJoin>,
    Entry<&NameDirectory>,
    Entry<&NameFile>,
    Entry<&NameSetSuffix>,
    Entry<&NameCheckSuffix>,
    Entry<&Exists>,
    Entry<&FileSelect>,
    Entry<&FileAlloc>,
    Entry<&FileFree>,
    Entry<&FileOpen>,
    Entry<&FileClose>,
    Entry<&FileLength, int64_t{-1}>,
    Entry<&WriteBool>,
    Entry<&WriteInt32>,
    Entry<&WriteFloat32>,
    Entry<&WriteString>,
    Entry<&WriteByte>,
    Entry<&ReadBool>,
    Entry<&ReadInt32>,
    Entry<&ReadFloat32>,
    Entry<&ReadString>,
    Entry<&Rename>,
    Entry<&Remove>>();

}  // namespace

const ha_file_suite* FileSuite() { return &kSuite; }

}  // namespace host
