// The interface headers as C and as C++: the C compiler lays out every record
// as the C++ compiler does, and every function pointer of the headers is
// declared with the boundary's calling convention.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

#include "abi_facts.h"

namespace fs = std::filesystem;

namespace {

const ha_abi_fact kCxxFacts[] = {HA_ABI_FACTS(HA_ABI_FACT)};

TEST(InterfaceHeaders, CAndCxxLayOutEveryRecordAlike) {
  size_t count = 0;
  const ha_abi_fact* c = ha_abi_c_facts(&count);
  ASSERT_EQ(count, std::size(kCxxFacts));
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(kCxxFacts[i].name);
    EXPECT_STREQ(c[i].name, kCxxFacts[i].name);
    EXPECT_EQ(c[i].value, kCxxFacts[i].value);
  }
}

// Every function pointer declarator "(*name)" of hostapi/abi is written
// "(HA_CALL *name)", so that on 32-bit x86 host and module agree on the
// convention whatever their compilers' default.
TEST(InterfaceHeaders, EveryFunctionPointerNamesTheCallingConvention) {
  const std::regex pointer(R"(\(\s*(HA_CALL\s*)?\*\s*([A-Za-z_][A-Za-z0-9_]*)\s*\)\s*\()");
  const std::regex comment(R"(/\*[\s\S]*?\*/)");
  int declared = 0;
  for (const auto& entry : fs::directory_iterator(fs::u8path(TOLVANE_SOURCE_DIR) / "hostapi" / "abi")) {
    if (entry.path().extension() != ".h") continue;
    std::ifstream in(entry.path());
    std::ostringstream text;
    text << in.rdbuf();
    const std::string code = std::regex_replace(text.str(), comment, " ");
    for (std::sregex_iterator m(code.begin(), code.end(), pointer), end; m != end; ++m) {
      ++declared;
      EXPECT_TRUE((*m)[1].matched) << entry.path().filename().string() << ": " << (*m)[2]
                                   << " has no HA_CALL";
    }
  }
  // The table, the module's callbacks, the entry and the crash handler.
  EXPECT_GE(declared, 150);
}

}  // namespace
