#include "module_library.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#if defined(_WIN32)
// Only the library loader: no window functions, whose macros would rename
// the host's own members.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define NOUSER
#define NOGDI
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#if defined(TOLVANE_MACHO_LOADER)
#include "macho_image.h"
#include "macho_plan.h"
#endif

namespace host {

namespace {

enum class FileKind { kElf, kPe, kMachO, kOther, kUnreadable };

FileKind KindOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char magic[4] = {0, 0, 0, 0};
  if (!in) return FileKind::kUnreadable;
  in.read(reinterpret_cast<char*>(magic), sizeof magic);
  if (magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') return FileKind::kElf;
  if (magic[0] == 'M' && magic[1] == 'Z') return FileKind::kPe;
  const uint32_t word = magic[0] | (magic[1] << 8) | (magic[2] << 16) | (uint32_t{magic[3]} << 24);
  // Every Mach-O magic, 32- and 64-bit, either byte order, and universal
  // files: the Mach-O loader says which it cannot run.
  switch (word) {
    case 0xfeedfacfu: case 0xcffaedfeu: case 0xfeedfaceu: case 0xcefaedfeu:
    case 0xcafebabeu: case 0xbebafecau:
      return FileKind::kMachO;
    default:
      return FileKind::kOther;
  }
}

// The platform's own loader: dlopen on Linux and macOS, LoadLibrary on
// Windows.
class NativeLibrary final : public ModuleLibrary {
 public:
  static std::unique_ptr<ModuleLibrary> Open(const std::string& path, std::string* error) {
#if defined(_WIN32)
    HMODULE lib = LoadLibraryA(path.c_str());
    if (lib == nullptr) {
      *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
      return nullptr;
    }
    return std::unique_ptr<ModuleLibrary>(new NativeLibrary(reinterpret_cast<void*>(lib)));
#else
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
      const char* why = dlerror();
      *error = why != nullptr ? why : "cannot load " + path;
      return nullptr;
    }
    return std::unique_ptr<ModuleLibrary>(new NativeLibrary(lib));
#endif
  }

  ~NativeLibrary() override {
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(lib_));
#else
    dlclose(lib_);
#endif
  }

  void* FindFunction(const char* cName) const override {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(lib_), cName));
#else
    return dlsym(lib_, cName);
#endif
  }

  std::string Kind() const override {
#if defined(_WIN32)
    return "Windows DLL, loaded by the system's loader";
#else
    return "ELF shared object, loaded by the system's loader";
#endif
  }

 private:
  explicit NativeLibrary(void* lib) : lib_(lib) {}
  void* lib_;
};

#if defined(TOLVANE_MACHO_LOADER)
// A macOS module run by the host's own Mach-O loader: planned from its
// bytes (nothing runs before the whole file passed), mapped, initialised.
class MachOLibrary final : public ModuleLibrary {
 public:
  static std::unique_ptr<ModuleLibrary> Open(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      *error = "cannot read " + path;
      return nullptr;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    MachOPlan plan;
    std::string why;
    if (!PlanMachOModule(bytes.data(), bytes.size(), path, &plan, &why)) {
      *error = "cannot load " + path + " as a macOS module: " + why;
      return nullptr;
    }
    std::unique_ptr<MachOImage> image = MachOImage::Map(plan, bytes.data(), bytes.size(), &why);
    if (image == nullptr || !image->Initialise(&why)) {
      *error = "cannot load " + path + " as a macOS module: " + why;
      return nullptr;
    }
    return std::unique_ptr<ModuleLibrary>(new MachOLibrary(std::move(image)));
  }

  void* FindFunction(const char* cName) const override { return image_->Export(std::string("_") + cName); }

  std::string Kind() const override {
    return "Mach-O x86-64 dynamic library (macOS), mapped by the host's own loader";
  }

 private:
  explicit MachOLibrary(std::unique_ptr<MachOImage> image) : image_(std::move(image)) {}
  std::unique_ptr<MachOImage> image_;
};
#endif

}  // namespace

bool CanRunMacOSModules() {
#if defined(TOLVANE_MACHO_LOADER)
  return true;
#else
  return false;
#endif
}

std::unique_ptr<ModuleLibrary> OpenModuleLibrary(const std::string& path, std::string* error) {
  switch (KindOf(path)) {
    case FileKind::kUnreadable:
      *error = "cannot read " + path;
      return nullptr;
    case FileKind::kMachO:
#if defined(TOLVANE_MACHO_LOADER)
      return MachOLibrary::Open(path, error);
#else
      *error = "cannot load " + path + ": it is a macOS module, and this host was built without the "
               "Mach-O loader (an x86-64 Linux host built with LLVM's object library has it)";
      return nullptr;
#endif
    case FileKind::kElf:
    case FileKind::kPe:
    case FileKind::kOther:
      break;
  }
  return NativeLibrary::Open(path, error);
}

}  // namespace host
