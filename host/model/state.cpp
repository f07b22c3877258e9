#include "state.h"

#include <cstdio>
#include <cstdlib>

namespace host {

HostState* HostState::current_ = nullptr;

const std::string* AllocationTags::Of(const char* file) {
  if (file == nullptr) file = "";
  auto seen = byAddress_.find(file);
  if (seen != byAddress_.end() && seen->second.text == file) return seen->second.name;
  std::string name = file;
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  std::unique_ptr<std::string>& kept = names_[name];
  if (kept == nullptr) kept = std::make_unique<std::string>(name);
  byAddress_[file] = Seen{file, kept.get()};
  return kept.get();
}

HostState::HostState() { current_ = this; }

HostState::~HostState() {
  for (std::size_t i = layers_.size(); i-- > 0;) layers_[i].reset();
  contours.clear();
  loose.clear();
  moduleContainers.clear();
  // Texts and single values the module never freed were reported as leaks at
  // shutdown; the host frees them with its state.
  for (const Text* t : texts.All()) delete t;
  for (const Value* v : dataValues.All()) delete v;
  ledger.ForEach([](void* block, const Allocation&) { std::free(block); });
  if (current_ == this) current_ = nullptr;
}

void NoHostRuns() {
  std::fputs("stand-in host: a host function was called while no host runs\n", stderr);
  std::abort();
}

}  // namespace host
