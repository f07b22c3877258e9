#include "recovery.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "outputs.h"
#include "safe_writer.h"

namespace host {

namespace {

constexpr std::chrono::seconds kInterval(1);

std::string Now() {
  const std::time_t t = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  return text;
}

}  // namespace

Recovery::~Recovery() {
  if (lock_ >= 0) close(lock_);
}

std::string Recovery::DefaultFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/')
    return std::string(state) + "/tolvane";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::string(home) + "/.local/state/tolvane";
  return "";
}

bool Recovery::Open(const std::string& folder, int release, std::string* note) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) {
    *note = "no recovery copy is kept: the folder " + folder + " cannot be made";
    return false;
  }
  const std::string base = folder + "/workbench-r" + std::to_string(release);
  const int fd = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (fd >= 0) close(fd);
    *note = "no recovery copy is kept: another workbench of release " + std::to_string(release) + " keeps its copy in " +
            folder;
    return false;
  }
  lock_ = fd;
  scene_ = base + ".tlvscene";
  meta_ = base + ".json";
  return true;
}

bool Recovery::HasCopy() const {
  std::error_code ec;
  return Active() && std::filesystem::is_regular_file(scene_, ec);
}

std::string Recovery::SavedWhen() const {
  std::string bytes, error;
  if (!ReadWholeFile(meta_, &bytes, &error)) return "";
  const Json meta = Json::parse(bytes, nullptr, false);
  return meta.is_object() && meta.contains("saved") && meta["saved"].is_string() ? meta["saved"].get<std::string>()
                                                                                : "";
}

bool Recovery::Keep(const Saver& save, bool now, std::string* error) {
  if (!Active() || !changed_) return true;
  const auto at = std::chrono::steady_clock::now();
  if (!now && at - last_ < kInterval) return true;
  last_ = at;
  if (!save(scene_, error)) return false;
  changed_ = false;
  return SaveFile(meta_, JsonText(Json{{"saved", Now()}, {"scene", scene_}}) + "\n", error);
}

}  // namespace host
