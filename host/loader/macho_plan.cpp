#include "macho_plan.h"

#include <llvm/ADT/StringRef.h>
#include <llvm/ADT/Triple.h>
#include <llvm/BinaryFormat/MachO.h>
#include <llvm/Object/MachO.h>
#include <llvm/Support/Error.h>
#include <llvm/Support/MemoryBuffer.h>

#include <cstring>
#include <memory>

#include "macho_dyld_info.h"
#include "macho_imports.h"

namespace host {

namespace {

namespace mo = llvm::MachO;
using llvm::object::MachOObjectFile;

constexpr const char* kSystemLibrary = "/usr/lib/libSystem.B.dylib";
// Newer than the format tables of the LLVM release we build with.
constexpr uint32_t kInitFuncOffsets = 0x16;  // section type of __init_offsets
constexpr uint32_t kSegReadOnly = 0x10;      // segment flag: sealed after fix-ups

std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(v));
  return text;
}

uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

std::string FixedName(const char (&name)[16]) { return std::string(name, strnlen(name, 16)); }

// Reads one module file into a plan. Each step answers false with `error`
// set to the reason; none runs anything of the file.
class Planner {
 public:
  Planner(const uint8_t* bytes, std::size_t size, const std::string& name, MachOPlan* plan,
          std::string* error)
      : bytes_(bytes), size_(size), name_(name), plan_(*plan), error_(*error) {}

  bool Run() {
    plan_ = MachOPlan();
    return Magic() && Parse() && Header() && LoadCommands() && Layout() && Rebases() &&
           Binds(BindKind::kRegular) && Binds(BindKind::kLazy) && Binds(BindKind::kWeak) && Exports();
  }

 private:
  bool Fail(std::string reason) {
    error_ = std::move(reason);
    return false;
  }

  // An error of LLVM's iteration or parsing, consumed.
  bool FailWith(const char* what, llvm::Error e) {
    return Fail(std::string(what) + ": " + llvm::toString(std::move(e)));
  }

  bool Magic() {
    if (size_ < 4) return Fail("the file is truncated (" + std::to_string(size_) + " bytes)");
    switch (ReadU32(bytes_)) {
      case mo::MH_MAGIC_64:
        break;
      case mo::MH_MAGIC:
      case mo::MH_CIGAM:
        return Fail("it is a 32-bit Mach-O file; a macOS module is x86-64 code");
      case mo::MH_CIGAM_64:
        return Fail("it is a big-endian Mach-O file; a macOS module is x86-64 code");
      case mo::FAT_MAGIC:
      case mo::FAT_CIGAM:
        return Fail("it is a universal (fat) file; give the host its x86-64 part alone");
      default:
        return Fail("it is not a Mach-O file");
    }
    if (size_ < sizeof(mo::mach_header_64))
      return Fail("the file is truncated (" + std::to_string(size_) + " bytes, shorter than its header)");
    return true;
  }

  bool Parse() {
    const llvm::MemoryBufferRef buffer(
        llvm::StringRef(reinterpret_cast<const char*>(bytes_), size_), name_);
    auto parsed = MachOObjectFile::create(buffer, /*IsLittleEndian=*/true, /*Is64Bits=*/true);
    if (!parsed) return FailWith("damaged Mach-O file", parsed.takeError());
    file_ = std::move(*parsed);
    return true;
  }

  bool Header() {
    const mo::mach_header_64& h = file_->getHeader64();
    if (h.cputype != mo::CPU_TYPE_X86_64) {
      return Fail("it is built for " + llvm::Triple::getArchTypeName(file_->getArch()).str() +
                  " (CPU type " + std::to_string(h.cputype) + "), not x86-64");
    }
    if (h.filetype != mo::MH_DYLIB)
      return Fail("its file type is " + std::to_string(h.filetype) + ", not a dynamic library (MH_DYLIB)");
    return true;
  }

  bool LoadCommands() {
    for (const MachOObjectFile::LoadCommandInfo& command : file_->load_commands()) {
      switch (command.C.cmd) {
        case mo::LC_SEGMENT_64:
          if (!Segment(command)) return false;
          break;
        case mo::LC_SEGMENT:
          return Fail("it has a 32-bit segment");
        case mo::LC_LOAD_DYLIB:
        case mo::LC_LOAD_WEAK_DYLIB:
        case mo::LC_REEXPORT_DYLIB:
        case mo::LC_LAZY_LOAD_DYLIB:
        case mo::LC_LOAD_UPWARD_DYLIB:
          if (!Library(command)) return false;
          break;
        case mo::LC_DYLD_CHAINED_FIXUPS:
        case mo::LC_DYLD_EXPORTS_TRIE:
          return Fail("it uses chained fix-ups (a build for macOS 12 or later); the host's loader reads "
                      "the classic dyld information of a build for macOS 10.13");
        case mo::LC_DYLD_INFO:
        case mo::LC_DYLD_INFO_ONLY:
          info_ = file_->getDyldInfoLoadCommand(command);
          haveDyldInfo_ = true;
          break;
        case mo::LC_DYSYMTAB: {
          mo::dysymtab_command d;
          std::memcpy(&d, command.Ptr, sizeof d);  // the parser checked its size
          if (d.nextrel != 0 || d.nlocrel != 0)
            return Fail("it has classic relocation entries, which the host's loader does not apply");
          break;
        }
        case mo::LC_ROUTINES_64:
          return Fail("it has an initialisation routine command, which the host's loader does not run");
        case mo::LC_MAIN:
        case mo::LC_UNIXTHREAD:
        case mo::LC_LOAD_DYLINKER:
          return Fail("it is a program, not a module");
        default:
          break;  // identification, version, symbol and code-signature commands
      }
    }
    if (!haveDyldInfo_) return Fail("it has no dyld information (rebase, bind and export tables)");
    if (libraries_ == 0) return Fail("it loads no system library, so it was not linked as a macOS module");
    return true;
  }

  bool Segment(const MachOObjectFile::LoadCommandInfo& command) {
    const mo::segment_command_64 s = file_->getSegment64LoadCommand(command);
    segmentAddresses_.push_back(s.vmaddr);
    MachOSegment seg;
    seg.name = FixedName(s.segname);
    seg.vmaddr = s.vmaddr;
    seg.vmsize = s.vmsize;
    seg.fileoff = s.fileoff;
    seg.filesize = s.filesize;
    seg.protection = s.initprot & (kMachORead | kMachOWrite | kMachOExecute);
    seg.readOnlyAfterFixups = (s.flags & kSegReadOnly) != 0;
    const std::string what = "its segment " + seg.name;
    if (seg.vmaddr % kMachOPage != 0) return Fail(what + " does not start on a page (" + Hex(seg.vmaddr) + ")");
    if (seg.vmsize > kMachOMaxSpan || seg.vmaddr > UINT64_MAX - seg.vmsize)
      return Fail(what + " is too large (" + Hex(seg.vmsize) + " bytes)");
    if (seg.filesize > seg.vmsize) return Fail(what + " holds more of the file than its size");
    if (seg.fileoff > size_ || seg.filesize > size_ - seg.fileoff)
      return Fail(what + " reaches beyond the end of the file");
    if ((seg.protection & kMachOWrite) && (seg.protection & kMachOExecute))
      return Fail(what + " is both writable and executable");
    for (uint32_t k = 0; k < s.nsects; ++k) {
      if (!Section(file_->getSection64(command, k), seg)) return false;
    }
    if (seg.vmsize != 0) plan_.segments.push_back(seg);
    return true;
  }

  bool Section(const mo::section_64& section, const MachOSegment& seg) {
    const std::string what = "its section " + seg.name + "," + FixedName(section.sectname);
    if (section.addr < seg.vmaddr || section.size > seg.vmsize ||
        section.addr - seg.vmaddr > seg.vmsize - section.size)
      return Fail(what + " lies outside its segment");
    const uint32_t type = section.flags & mo::SECTION_TYPE;
    if (type >= mo::S_THREAD_LOCAL_REGULAR && type <= mo::S_THREAD_LOCAL_INIT_FUNCTION_POINTERS)
      return Fail(what + " holds thread-local data, which the host's loader does not set up");
    std::vector<uint64_t>* slots = nullptr;
    uint64_t width = 8;
    if (type == mo::S_MOD_INIT_FUNC_POINTERS) slots = &plan_.initPointers;
    if (type == mo::S_MOD_TERM_FUNC_POINTERS) slots = &plan_.termPointers;
    if (type == kInitFuncOffsets) {
      slots = &plan_.initOffsets;
      width = 4;
    }
    if (slots == nullptr) return true;
    if (section.size % width != 0) return Fail(what + " has a size that is not a whole number of entries");
    for (uint64_t at = 0; at < section.size; at += width) slots->push_back(section.addr + at);
    return true;
  }

  bool Library(const MachOObjectFile::LoadCommandInfo& command) {
    const mo::dylib_command d = file_->getDylibIDLoadCommand(command);
    if (d.dylib.name >= command.C.cmdsize) return Fail("a library command of it is damaged");
    const char* text = command.Ptr + d.dylib.name;
    const std::string library(text, strnlen(text, command.C.cmdsize - d.dylib.name));
    if (library != kSystemLibrary) {
      return Fail("it needs the library " + library + "; a macOS module may need " + kSystemLibrary +
                  " alone");
    }
    ++libraries_;
    return true;
  }

  // The segments in address order must not overlap; one of them holds the
  // header (file offset 0) and one is executable.
  bool Layout() {
    if (plan_.segments.empty()) return Fail("it has no segments");
    bool haveHeader = false;
    bool haveCode = false;
    uint64_t high = 0;
    plan_.low = UINT64_MAX;
    for (const MachOSegment& s : plan_.segments) {
      plan_.low = std::min(plan_.low, s.vmaddr);
      const uint64_t end = s.vmaddr + (s.vmsize + kMachOPage - 1) / kMachOPage * kMachOPage;
      high = std::max(high, end);
      if (s.fileoff == 0 && s.filesize >= sizeof(mo::mach_header_64)) {
        haveHeader = true;
        plan_.header = s.vmaddr;
      }
      haveCode = haveCode || (s.protection & kMachOExecute) != 0;
      for (const MachOSegment& t : plan_.segments) {
        if (&s != &t && s.vmaddr < t.vmaddr + t.vmsize && t.vmaddr < s.vmaddr + s.vmsize)
          return Fail("its segments " + s.name + " and " + t.name + " overlap");
      }
    }
    if (!haveHeader) return Fail("it has no segment holding its header (__TEXT is missing)");
    if (!haveCode) return Fail("it has no executable segment (__TEXT is missing)");
    if (high - plan_.low > kMachOMaxSpan) return Fail("its segments span more than a module may");
    plan_.span = high - plan_.low;
    return true;
  }

  // A pointer the loader writes must lie whole in a writable segment.
  bool Writable(const DyldEntry& e, const char* table, uint64_t* address) {
    if (plan_.rebases.size() + plan_.binds.size() >= kMachOMaxFixups)
      return Fail("it has more than " + std::to_string(kMachOMaxFixups) + " pointers to fix up");
    const std::string symbol = e.symbol.empty() ? "" : e.symbol + " ";
    if (e.segment < 0 || static_cast<std::size_t>(e.segment) >= segmentAddresses_.size())
      return Fail(std::string("its ") + table + " table writes " + symbol + "into segment " +
                  std::to_string(e.segment) + ", which it does not have");
    *address = segmentAddresses_[e.segment] + e.offset;
    if (MachOInSegment(plan_, *address, 8, kMachORead | kMachOWrite)) return true;
    return Fail(std::string("its ") + table + " table writes " + symbol + "to " + Hex(*address) +
                ", outside its writable segments");
  }

  // The bytes of one dyld table, inside the file (the parser checked that).
  std::pair<const uint8_t*, std::size_t> Range(uint32_t offset, uint32_t size) const {
    if (offset > size_ || size > size_ - offset) return {bytes_, 0};
    return {bytes_ + offset, size};
  }

  bool Rebases() {
    std::string damage;
    const auto [at, n] = Range(info_.rebase_off, info_.rebase_size);
    const bool ok = ReadRebaseTable(at, n, [this](const DyldEntry& e) {
      uint64_t address = 0;
      if (e.type != 1) return Fail("its rebase table has an entry of type " + std::to_string(e.type) + ", not a pointer");
      if (!Writable(e, "rebase", &address)) return false;
      plan_.rebases.push_back(address);
      return true;
    }, &damage);
    if (!damage.empty()) return Fail("its rebase table is damaged: " + damage);
    return ok;
  }

  bool Binds(BindKind kind) {
    const char* table = kind == BindKind::kLazy ? "lazy bind" : kind == BindKind::kWeak ? "weak bind" : "bind";
    std::string damage;
    const auto [at, n] = kind == BindKind::kLazy   ? Range(info_.lazy_bind_off, info_.lazy_bind_size)
                         : kind == BindKind::kWeak ? Range(info_.weak_bind_off, info_.weak_bind_size)
                                                   : Range(info_.bind_off, info_.bind_size);
    const bool ok = ReadBindTable(at, n, kind, [&](const DyldEntry& e) {
      if (kind == BindKind::kWeak)
        return Fail("it asks for weak binding of " + e.symbol + ", which the host's loader does not do");
      return Bind(e, table);
    }, &damage);
    if (!damage.empty()) return Fail(std::string("its ") + table + " table is damaged: " + damage);
    return ok;
  }

  bool Bind(const DyldEntry& e, const char* table) {
    if (e.type != 1) {
      return Fail(std::string("its ") + table + " table binds " + e.symbol + " as type " + std::to_string(e.type) +
                  ", not as a pointer");
    }
    // Every library it loads is the system library (LoadCommands), so an
    // ordinal naming one of them is that library; flat lookup finds it too.
    if (e.ordinal != mo::BIND_SPECIAL_DYLIB_FLAT_LOOKUP && (e.ordinal < 1 || e.ordinal > libraries_)) {
      return Fail(std::string("its ") + table + " table takes " + e.symbol + " from library " +
                  std::to_string(e.ordinal) + ", not from " + kSystemLibrary);
    }
    const void* target = MacOSImport(e.symbol);
    if (target == nullptr) {
      return Fail("it imports " + e.symbol + ", which is not one of the " +
                  std::to_string(MacOSImportNames().size()) +
                  " functions the host gives a macOS module (cmake/macos/libSystem.symbols)");
    }
    uint64_t address = 0;
    if (!Writable(e, table, &address)) return false;
    plan_.binds.push_back({address, target, e.addend, e.symbol});
    return true;
  }

  bool Exports() {
    std::string damage;
    const auto [at, n] = Range(info_.export_off, info_.export_size);
    const bool ok = ReadExportTrie(at, n, [this](const std::string& symbol, uint64_t flags, uint64_t offset) {
      if ((flags & mo::EXPORT_SYMBOL_FLAGS_REEXPORT) || (flags & mo::EXPORT_SYMBOL_FLAGS_STUB_AND_RESOLVER) ||
          (flags & mo::EXPORT_SYMBOL_FLAGS_KIND_MASK) != mo::EXPORT_SYMBOL_FLAGS_KIND_REGULAR) {
        return Fail("it exports " + symbol + " in a form the host's loader does not resolve (flags " + Hex(flags) +
                    ")");
      }
      const uint64_t address = plan_.header + offset;
      if (offset > UINT64_MAX - plan_.header || !MachOInSegment(plan_, address, 1, kMachOExecute))
        return Fail("it exports " + symbol + " at " + Hex(offset) + ", outside its code");
      plan_.exports[symbol] = address;
      return true;
    }, &damage);
    if (!damage.empty()) return Fail("its export table is damaged: " + damage);
    return ok;
  }

  const uint8_t* bytes_;
  std::size_t size_;
  const std::string& name_;
  MachOPlan& plan_;
  std::string& error_;
  std::unique_ptr<MachOObjectFile> file_;
  bool haveDyldInfo_ = false;
  mo::dyld_info_command info_{};
  std::vector<uint64_t> segmentAddresses_;  // of every segment command, in order
  int libraries_ = 0;
};

}  // namespace

bool MachOInSegment(const MachOPlan& plan, uint64_t address, uint64_t bytes, uint32_t protection) {
  for (const MachOSegment& s : plan.segments) {
    if ((s.protection & protection) != protection) continue;
    if (address >= s.vmaddr && bytes <= s.vmsize && address - s.vmaddr <= s.vmsize - bytes) return true;
  }
  return false;
}

bool PlanMachOModule(const uint8_t* bytes, std::size_t size, const std::string& name, MachOPlan* plan,
                     std::string* error) {
  return Planner(bytes, size, name, plan, error).Run();
}

}  // namespace host
