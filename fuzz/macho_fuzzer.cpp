// Fuzzes the host's loader of macOS modules (host/loader/macho_*): the plan
// read from a file's bytes, and the mapping with its fix-ups. Nothing of the
// input ever runs: neither its initialisers nor its exports are called.
//
// Input: the bytes of a module file.
//
// Properties checked for every input:
// - a refused file gives a reason;
// - an accepted plan has page-aligned segments that do not overlap and lie
//   within its span, every slid or bound pointer whole inside a writable
//   segment, every bound pointer aimed at a function the host gives, every
//   initialiser slot inside a segment and every export inside the code;
// - the mapped image holds the file's bytes where its segments say, and
//   unmaps.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "macho_image.h"
#include "macho_imports.h"
#include "macho_plan.h"

namespace {

[[noreturn]] void Violated(const std::string& what) {
  std::fprintf(stderr, "macho fuzzer: property violated: %s\n", what.c_str());
  std::abort();
}

void CheckPlan(const host::MachOPlan& plan) {
  for (const host::MachOSegment& s : plan.segments) {
    if (s.vmaddr % host::kMachOPage != 0) Violated("segment " + s.name + " not on a page");
    if (s.vmaddr < plan.low || s.vmaddr - plan.low + s.vmsize > plan.span)
      Violated("segment " + s.name + " outside the span");
    for (const host::MachOSegment& t : plan.segments) {
      if (&s != &t && s.vmaddr < t.vmaddr + t.vmsize && t.vmaddr < s.vmaddr + s.vmsize)
        Violated("segments overlap");
    }
  }
  const uint32_t rw = host::kMachORead | host::kMachOWrite;
  for (uint64_t r : plan.rebases) {
    if (!host::MachOInSegment(plan, r, 8, rw)) Violated("rebase outside writable segments");
  }
  for (const host::MachOBind& b : plan.binds) {
    if (!host::MachOInSegment(plan, b.address, 8, rw)) Violated("bind outside writable segments");
    if (b.target == nullptr || b.target != host::MacOSImport(b.symbol)) Violated("bind to no host function");
  }
  for (uint64_t slot : plan.initPointers) {
    if (!host::MachOInSegment(plan, slot, 8, 0)) Violated("initialiser slot outside the segments");
  }
  for (uint64_t slot : plan.initOffsets) {
    if (!host::MachOInSegment(plan, slot, 4, 0)) Violated("initialiser offset outside the segments");
  }
  for (const auto& [name, address] : plan.exports) {
    if (!host::MachOInSegment(plan, address, 1, host::kMachOExecute)) Violated("export " + name + " outside code");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  host::MachOPlan plan;
  std::string error;
  if (!host::PlanMachOModule(data, size, "fuzz.dylib", &plan, &error)) {
    if (error.empty()) Violated("a refusal without a reason");
    return 0;
  }
  CheckPlan(plan);
  std::unique_ptr<host::MachOImage> image = host::MachOImage::Map(plan, data, size, &error);
  if (image == nullptr) return 0;  // no memory: said, not a fault of the input
  for (const host::MachOSegment& s : plan.segments) {
    // Bytes no fix-up touched are the file's.
    for (uint64_t k = 0; k < s.filesize; k += 4099) {
      const uint64_t linked = s.vmaddr + k;
      bool fixed = false;
      for (uint64_t r : plan.rebases) fixed = fixed || (linked >= r && linked < r + 8);
      for (const host::MachOBind& b : plan.binds) fixed = fixed || (linked >= b.address && linked < b.address + 8);
      if (!fixed && (s.protection & host::kMachORead) && *image->At(linked) != data[s.fileoff + k])
        Violated("segment " + s.name + " does not hold the file's bytes");
    }
  }
  return 0;
}
