#include "core.h"

namespace host {

FailurePlan& Failures() {
  static FailurePlan plan;
  return plan;
}

HandleSet<Text>& Texts() {
  static HandleSet<Text> set;
  return set;
}

ha_text MakeText(std::string value) {
  Text* text = new Text{std::move(value)};
  Texts().Add(text);
  return reinterpret_cast<ha_text>(text);
}

namespace {
std::vector<std::string>& MisuseLog() {
  static std::vector<std::string> log;
  return log;
}
}  // namespace

void ReportMisuse(const std::string& what) { MisuseLog().push_back(what); }
const std::vector<std::string>& Misuses() { return MisuseLog(); }
void ClearMisuses() { MisuseLog().clear(); }

}  // namespace host
