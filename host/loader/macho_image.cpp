#include "macho_image.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace host {

namespace {

uint64_t PageUp(uint64_t n) { return (n + kMachOPage - 1) / kMachOPage * kMachOPage; }

int PosixProtection(uint32_t protection) {
  return ((protection & kMachORead) ? PROT_READ : 0) | ((protection & kMachOWrite) ? PROT_WRITE : 0) |
         ((protection & kMachOExecute) ? PROT_EXEC : 0);
}

uint64_t LoadPointer(const uint8_t* at) {
  uint64_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

void StorePointer(uint8_t* at, uint64_t v) { std::memcpy(at, &v, sizeof v); }

// What dyld hands an initialiser: argc, argv, envp, apple and the program's
// variables; a module gets empty lists.
using Initialiser = void (*)(int, const char* const*, const char* const*, const char* const*, const void*);
using Terminator = void (*)();

}  // namespace

std::unique_ptr<MachOImage> MachOImage::Map(const MachOPlan& plan, const uint8_t* bytes, std::size_t size,
                                            std::string* error) {
  void* reserved = mmap(nullptr, plan.span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (reserved == MAP_FAILED) {
    *error = std::string("cannot reserve memory for it: ") + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<MachOImage> image(new MachOImage(plan, static_cast<uint8_t*>(reserved)));
  const uint64_t slide = reinterpret_cast<uintptr_t>(image->base_) - plan.low;
  for (const MachOSegment& s : plan.segments) {
    uint8_t* at = image->At(s.vmaddr);
    if (mprotect(at, PageUp(s.vmsize), PROT_READ | PROT_WRITE) != 0) {
      *error = "cannot map its segment " + s.name + ": " + std::strerror(errno);
      return nullptr;
    }
    if (s.filesize != 0 && s.fileoff <= size && s.filesize <= size - s.fileoff)
      std::memcpy(at, bytes + s.fileoff, s.filesize);
  }
  for (uint64_t address : plan.rebases) {
    uint8_t* at = image->At(address);
    StorePointer(at, LoadPointer(at) + slide);
  }
  for (const MachOBind& bind : plan.binds) {
    StorePointer(image->At(bind.address),
                 static_cast<uint64_t>(reinterpret_cast<uintptr_t>(bind.target)) + static_cast<uint64_t>(bind.addend));
  }
  if (!image->Protect(error)) return nullptr;
  return image;
}

bool MachOImage::Protect(std::string* error) {
  for (const MachOSegment& s : plan_.segments) {
    uint32_t protection = s.protection;
    if (s.readOnlyAfterFixups) protection &= ~kMachOWrite;
    if (mprotect(At(s.vmaddr), PageUp(s.vmsize), PosixProtection(protection)) != 0) {
      *error = "cannot protect its segment " + s.name + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

MachOImage::~MachOImage() {
  if (initialised_) {
    for (auto slot = plan_.termPointers.rbegin(); slot != plan_.termPointers.rend(); ++slot) {
      const uint64_t target = LoadPointer(At(*slot));
      if (InCode(target - reinterpret_cast<uintptr_t>(base_) + plan_.low))
        reinterpret_cast<Terminator>(static_cast<uintptr_t>(target))();
    }
  }
  munmap(base_, plan_.span);
}

bool MachOImage::InCode(uint64_t linked) const { return MachOInSegment(plan_, linked, 1, kMachOExecute); }

bool MachOImage::Initialise(std::string* error) {
  // Every initialiser is checked before the first one runs.
  std::vector<uintptr_t> calls;
  const uint64_t base = reinterpret_cast<uintptr_t>(base_);
  for (uint64_t slot : plan_.initPointers) {
    const uint64_t target = LoadPointer(At(slot));
    if (!InCode(target - base + plan_.low)) {
      *error = "an initialiser of it points outside its code";
      return false;
    }
    calls.push_back(static_cast<uintptr_t>(target));
  }
  for (uint64_t slot : plan_.initOffsets) {
    uint32_t offset;
    std::memcpy(&offset, At(slot), sizeof offset);
    if (!InCode(plan_.header + offset)) {
      *error = "an initialiser offset of it points outside its code";
      return false;
    }
    calls.push_back(reinterpret_cast<uintptr_t>(At(plan_.header + offset)));
  }
  static const char* const kNone[] = {nullptr};
  for (uintptr_t call : calls) reinterpret_cast<Initialiser>(call)(0, kNone, kNone, kNone, nullptr);
  initialised_ = true;
  return true;
}

void* MachOImage::Export(const std::string& symbol) const {
  const auto found = plan_.exports.find(symbol);
  return found == plan_.exports.end() ? nullptr : At(found->second);
}

}  // namespace host
