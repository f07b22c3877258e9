// The functions of the memory suite (suites/ha_memory.cpp makes the table):
// the module's allocator (the host's ledger) and the texts the host hands
// out.
#include "memory_entries.h"

#include <string>

#include "core.h"
#include "scene.h"
#include "state.h"

namespace host {
namespace memory_entries {

void* MemAlloc(size_t size, const char* file, int32_t line) {
  return Allocate(size, file, line);
}
void MemFree(void* block) {
  Release(block);
}
const char* TextGet(ha_text text) {
  if (text == nullptr) return "";
  if (!Texts().Has(text)) {
    ReportMisuse("text_get: unknown text");
    return "";
  }
  return reinterpret_cast<Text*>(text)->value.c_str();
}
void TextFree(ha_text text) {
  if (text == nullptr) return;
  if (!Texts().Has(text)) {
    ReportMisuse("text_free: unknown text");
    return;
  }
  Text* t = reinterpret_cast<Text*>(text);
  Texts().Remove(t);
  delete t;
}

}  // namespace memory_entries
}  // namespace host
