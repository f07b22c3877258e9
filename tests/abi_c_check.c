/* The interface headers compiled as C (C11, pedantic): every build compiles
 * this file, so the headers' claim to be plain C, their layout checks and,
 * on 32-bit x86, the check of the boundary's calling convention hold for
 * each compiler the project uses. The test program abi_test compares the
 * layouts computed here with the C++ compiler's. */
#include "abi_facts.h"

static const ha_abi_fact kFacts[] = {HA_ABI_FACTS(HA_ABI_FACT)};

const ha_abi_fact* ha_abi_c_facts(size_t* count) {
  *count = sizeof kFacts / sizeof kFacts[0];
  return kFacts;
}
