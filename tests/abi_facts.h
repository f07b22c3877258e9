/* Layout facts of the interface between host and module, as a list that
 * tests/abi_c_check.c has the C compiler compute and tests/abi_test.cpp the
 * C++ compiler: both must lay out every record alike. Plain C. */
#ifndef TESTS_ABI_FACTS_H
#define TESTS_ABI_FACTS_H

#include <stddef.h>

#include "hostapi.h"

typedef struct ha_abi_fact {
  const char* name;
  size_t value;
} ha_abi_fact;

#define HA_ABI_FACT(expr) {#expr, (size_t)(expr)},

#define HA_ABI_FACTS(X)                                                             \
  X(sizeof(void*)) X(sizeof(ha_entry_fn)) X(sizeof(ha_crash_handler))               \
  X(sizeof(ha_vector)) X(offsetof(ha_vector, z))                                    \
  X(sizeof(ha_desclevel)) X(sizeof(ha_descid)) X(offsetof(ha_descid, level))        \
  X(sizeof(ha_desc_changed)) X(offsetof(ha_desc_changed, flags))                    \
  X(offsetof(ha_desc_changed, id)) X(sizeof(ha_desc_command))                       \
  X(sizeof(ha_host_table)) X(offsetof(ha_host_table, memory))                       \
  X(offsetof(ha_host_table, crash)) X(offsetof(ha_host_table, gui))                 \
  X(sizeof(ha_memory_suite)) X(sizeof(ha_resource_suite)) X(sizeof(ha_crash_suite)) \
  X(sizeof(ha_container_suite)) X(sizeof(ha_data_suite)) X(sizeof(ha_object_suite)) \
  X(sizeof(ha_document_suite)) X(sizeof(ha_file_suite))                             \
  X(sizeof(ha_customdata_suite)) X(sizeof(ha_hyperfile_suite))                      \
  X(sizeof(ha_gui_suite)) X(sizeof(ha_object_plugin_class))                         \
  X(sizeof(ha_object_plugin_info)) X(sizeof(ha_customdata_class))                   \
  X(sizeof(ha_customdata_info)) X(sizeof(ha_dialog_class))                          \
  X(sizeof(ha_userarea_class)) X(sizeof(ha_customgui_class))                        \
  X(sizeof(ha_customgui_info)) X(sizeof(ha_customgui_lib))

#ifdef __cplusplus
extern "C" {
#endif

/* The facts as the C compiler computed them; `count` receives their number. */
const ha_abi_fact* ha_abi_c_facts(size_t* count);

#ifdef __cplusplus
}
#endif

#endif
