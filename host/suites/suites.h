// The suites of the host's function table, one file per interface area
// (ha_memory.cpp for ha_memory.h, ...). The file, hyperfile and interface
// element suites are built beside the code they serve (files.h,
// scenefile.h, gui.h); every suite is filled through entry.h.
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

}  // namespace host

#endif
