/* The host's function table: everything the module may call.
 *
 * The host hands a pointer to one const table to the module's entry with the
 * first system initialisation; it stays valid until the last end action.
 * The first member is the host's interface version, the second the size of
 * the table as the host built it. The table and every suite are only ever
 * extended by appending members; a module tells which members exist from
 * the sizes. A suite pointer may be null when the host does not offer it. */
#ifndef HOSTAPI_H
#define HOSTAPI_H

#include "ha_types.h"
#include "ha_memory.h"
#include "ha_resource.h"
#include "ha_container.h"
#include "ha_object.h"
#include "ha_document.h"
#include "ha_file.h"
#include "ha_hyperfile.h"
#include "ha_customdata.h"
#include "ha_gui.h"
#include "ha_ids.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ha_host_table {
  int32_t version; /* e.g. 16049 for a release-16 host, 12000 for release 12 */
  uint32_t size;   /* sizeof(ha_host_table) as the host built it */
  const ha_memory_suite* memory;
  const ha_resource_suite* resource;
  const ha_container_suite* container;
  const ha_data_suite* data;
  const ha_object_suite* object;
  const ha_document_suite* document;
  const ha_file_suite* file;
  const ha_crash_suite* crash; /* release-12 hosts only */
  const ha_customdata_suite* customdata;
  const ha_hyperfile_suite* hyperfile;
  const ha_gui_suite* gui;
} ha_host_table;

/* Version and size in the first 8 bytes, then one pointer per suite: on
 * 32-bit targets the memory suite at 8, the resource suite at 12, ... */
HA_STATIC_ASSERT(offsetof(ha_host_table, size) == 4, "host table: size");
HA_STATIC_ASSERT(offsetof(ha_host_table, memory) == 8, "host table: memory suite");
HA_STATIC_ASSERT(offsetof(ha_host_table, resource) == 8 + HA_PTR, "host table: resource suite");
HA_STATIC_ASSERT(offsetof(ha_host_table, crash) == 8 + 7 * HA_PTR, "host table: crash suite");
HA_STATIC_ASSERT(offsetof(ha_host_table, gui) == 8 + 10 * HA_PTR, "host table: gui suite");
HA_STATIC_ASSERT(HA_PTR != 4 || offsetof(ha_host_table, resource) == 12, "host table on 32-bit");

#ifdef __cplusplus
}
#endif

#endif
