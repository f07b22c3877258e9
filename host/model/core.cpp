#include "core.h"

#include "state.h"

namespace host {

FailurePlan& Failures() { return State().failures; }

HandleSet<Text>& Texts() { return State().texts; }

ha_text MakeText(std::string value) {
  Text* text = new Text{std::move(value)};
  Texts().Add(text);
  return reinterpret_cast<ha_text>(text);
}

void ReportMisuse(const std::string& what) { State().misuses.push_back(what); }
const std::vector<std::string>& Misuses() { return State().misuses; }
void ClearMisuses() { State().misuses.clear(); }

}  // namespace host
