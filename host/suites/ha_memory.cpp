// The memory suite: the module's allocator (the host's ledger) and the
// texts the host hands out.
#include "suites.h"

#include <string>

#include "core.h"
#include "entry.h"
#include "scene.h"
#include "state.h"

namespace host {
namespace {

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

const ha_memory_suite kMemory = MakeSuite<ha_memory_suite,
    Entry<&MemAlloc>,
    Entry<&MemFree>,
    Entry<&TextGet, kNoText>,
    Entry<&TextFree>>();

}  // namespace

const ha_memory_suite* MemorySuite() { return &kMemory; }

}  // namespace host
