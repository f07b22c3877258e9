// A macOS module mapped into this process by the host's own loader, from a
// plan (macho_plan.h): its segments at one slide with their protections, its
// pointers slid and bound. Its code runs only when asked: the initialisers,
// then whatever calls its exports; unmapping runs its terminators first.
#ifndef HOST_LOADER_MACHO_IMAGE_H
#define HOST_LOADER_MACHO_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "macho_plan.h"

namespace host {

class MachOImage {
 public:
  // Maps `bytes` (the file the plan was made from) and applies every
  // rebase and bind. Null with the reason when memory cannot be had.
  static std::unique_ptr<MachOImage> Map(const MachOPlan& plan, const uint8_t* bytes, std::size_t size,
                                         std::string* error);
  ~MachOImage();  // runs the terminators of an initialised image, unmaps
  MachOImage(const MachOImage&) = delete;
  MachOImage& operator=(const MachOImage&) = delete;

  // Runs the initialisers in file order, after checking that every one of
  // them points into the module's code (false with the reason, nothing run).
  bool Initialise(std::string* error);
  // The address of an export by its Mach-O name ("_c4d_main"), or null.
  void* Export(const std::string& symbol) const;
  // The address in this process of an address as linked.
  uint8_t* At(uint64_t linked) const { return base_ + (linked - plan_.low); }

 private:
  MachOImage(MachOPlan plan, uint8_t* base) : plan_(std::move(plan)), base_(base) {}
  bool InCode(uint64_t address) const;
  bool Protect(std::string* error);

  MachOPlan plan_;
  uint8_t* base_;
  bool initialised_ = false;
};

}  // namespace host

#endif
