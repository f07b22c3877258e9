// Readers of a Mach-O file's dyld information: the rebase and bind opcode
// streams and the export trie, each a range of bytes of the file. Every read
// is bounded by its range, every loop by the entries it yields: a damaged
// table is refused with what is wrong, never read beyond its end.
//
// (LLVM's object library reads these tables too, but its 14th release reads
// past the end of a damaged bind stream or export trie; the loader's own
// tests check that both readers agree on sound files.)
#ifndef HOST_LOADER_MACHO_DYLD_INFO_H
#define HOST_LOADER_MACHO_DYLD_INFO_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace host {

// One pointer of a rebase or bind table: at `offset` in the segment with
// index `segment` (the order of the segment commands).
struct DyldEntry {
  int segment = -1;
  uint64_t offset = 0;
  uint8_t type = 0;        // 1 pointer, 2 absolute 32-bit, 3 PC-relative 32-bit
  int ordinal = 0;         // bind: the library, from 1; 0 self, -1 main program, -2 flat lookup
  std::string symbol;      // bind: the symbol's name
  int64_t addend = 0;      // bind: added to the symbol's address
};

enum class BindKind { kRegular, kLazy, kWeak };

// Each reader calls `each` once for every entry, in order; `each` answers
// false to stop (the reader then answers false and leaves `error` alone).
// On a damaged table the reader answers false with `error` set.
using DyldVisitor = std::function<bool(const DyldEntry&)>;
bool ReadRebaseTable(const uint8_t* bytes, std::size_t size, const DyldVisitor& each, std::string* error);
bool ReadBindTable(const uint8_t* bytes, std::size_t size, BindKind kind, const DyldVisitor& each,
                   std::string* error);

// Calls `each` with every exported name, its flags and its offset from the
// Mach-O header (for a re-export or a resolver: what the entry holds there).
using ExportVisitor = std::function<bool(const std::string& name, uint64_t flags, uint64_t offset)>;
bool ReadExportTrie(const uint8_t* bytes, std::size_t size, const ExportVisitor& each, std::string* error);

}  // namespace host

#endif
