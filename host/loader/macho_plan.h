// What it takes to run a macOS module, read from its file without running
// any of it: the segments to map, the pointers to slide and to bind, the
// initialisers and the exports. The file's structure (header, load
// commands, segments and sections) is parsed and checked with LLVM's object
// library, its dyld tables with the bounded readers of macho_dyld_info.h.
// Everything the host's Mach-O loader cannot do faithfully is refused here,
// with the reason.
#ifndef HOST_LOADER_MACHO_PLAN_H
#define HOST_LOADER_MACHO_PLAN_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace host {

// Protections, as the file states them (VM_PROT_*).
constexpr uint32_t kMachORead = 1;
constexpr uint32_t kMachOWrite = 2;
constexpr uint32_t kMachOExecute = 4;

// The loader maps segments at page granularity; a module whose segments
// together span more than this is refused (no module comes near it).
constexpr uint64_t kMachOPage = 4096;
constexpr uint64_t kMachOMaxSpan = uint64_t{256} << 20;
// Nor may it have more pointers to slide and bind than this (the arrow
// module has under a hundred).
constexpr std::size_t kMachOMaxFixups = std::size_t{1} << 20;

struct MachOSegment {
  std::string name;
  uint64_t vmaddr = 0;  // as linked; the loader adds one slide to all
  uint64_t vmsize = 0;
  uint64_t fileoff = 0;
  uint64_t filesize = 0;
  uint32_t protection = 0;        // after the fix-ups
  bool readOnlyAfterFixups = false;  // a writable segment sealed once fixed up
};

// A pointer of the image set to a host function (or variable) plus addend.
struct MachOBind {
  uint64_t address = 0;  // of the pointer, as linked
  const void* target = nullptr;
  int64_t addend = 0;
  std::string symbol;
};

struct MachOPlan {
  std::vector<MachOSegment> segments;  // in file order, sizes non-zero
  uint64_t low = 0;                    // lowest page of all segments
  uint64_t span = 0;                   // bytes from `low` to the end of the last
  uint64_t header = 0;                 // where the Mach-O header lies, as linked
  std::vector<uint64_t> rebases;       // pointers that get the slide added
  std::vector<MachOBind> binds;        // eager: regular and lazy bindings alike
  // Initialisers: pointer slots (__mod_init_func) and 32-bit offsets from
  // the header (__init_offsets), run in this order; terminators at unload.
  std::vector<uint64_t> initPointers;
  std::vector<uint64_t> initOffsets;
  std::vector<uint64_t> termPointers;
  std::map<std::string, uint64_t> exports;  // regular exports, as linked
};

// Reads `size` bytes of a module file. False with the reason when the bytes
// are not a Mach-O x86-64 dynamic library this host can run: another
// architecture or file type, a damaged or truncated file or table, a
// library other than /usr/lib/libSystem.B.dylib, an import the host does not
// provide (macho_imports.h), a fix-up outside its writable segments, weak or
// chained binding, thread-local data, or an export outside its code.
bool PlanMachOModule(const uint8_t* bytes, std::size_t size, const std::string& name, MachOPlan* plan,
                     std::string* error);

// Whether [address, address + bytes) lies in one segment with all of `protection`.
bool MachOInSegment(const MachOPlan& plan, uint64_t address, uint64_t bytes, uint32_t protection);

}  // namespace host

#endif
