// The suites of the host's function table, one file per interface area
// (ha_memory.cpp for ha_memory.h, ...). Each file only makes its suite from
// the area's entry functions, which live in <area>_entries.cpp of the layer
// that owns the objects they work on (model, formats, ui), or here
// (resource_entries.cpp) when they need the Host itself. Every suite is
// filled through entry.h.
#ifndef HOST_SUITES_H
#define HOST_SUITES_H

#include "hostapi.h"

namespace host {

const ha_memory_suite* MemorySuite();
const ha_resource_suite* ResourceSuite();
const ha_crash_suite* CrashSuite();
const ha_container_suite* ContainerSuite();
const ha_data_suite* DataSuite();
const ha_object_suite* ObjectSuite();
const ha_document_suite* DocumentSuite();
const ha_customdata_suite* CustomDataSuite();
const ha_file_suite* FileSuite();
const ha_hyperfile_suite* HyperFileSuite();
const ha_gui_suite* GuiSuite();

}  // namespace host

#endif
