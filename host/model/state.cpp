#include "state.h"

#include <cstdio>
#include <cstdlib>

namespace host {

HostState* HostState::current_ = nullptr;

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
  for (auto& [block, alloc] : ledger) std::free(block);
  if (current_ == this) current_ = nullptr;
}

void NoHostRuns() {
  std::fputs("stand-in host: a host function was called while no host runs\n", stderr);
  std::abort();
}

}  // namespace host
