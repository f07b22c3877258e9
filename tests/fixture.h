// Helpers the tests share: temporary folders, copies of the built plug-in
// folders, and the check that a host ended without leaks or misuse.
#ifndef TESTS_FIXTURE_H
#define TESTS_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host.h"
#include "session.h"

namespace testkit {

// A fresh directory removed with everything in it at scope exit.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Copies the built plug-in folder of a release into `dir`, leaving out the
// resources or the presets folder when asked. Answers the new folder.
std::string CopyPluginFolder(int release, const std::string& dir, bool withResources = true,
                             bool withPresets = true);

// Shuts the host down and expects no leak and no misuse of the interface.
void ExpectCleanShutdown(host::Host& h);

// Reads a whole file as bytes.
std::string ReadFileBytes(const std::string& path);

// Runs the host program with arguments; answers its exit status and output.
struct ProgramResult {
  int status = -1;
  std::string out;
  std::string err;
};
ProgramResult RunProgram(const std::string& args, const std::string& stdinText = "");

// A test run once per release (16 and 12) on a loaded plug-in with one new
// arrow in its document; it ends with the check for leaks and misuse.
class ArrowTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Applies "NAME=VALUE" as the attribute editor would.
  void Set(const std::string& assignment);

  std::unique_ptr<host::Session> session_;
  host::Object* arrow_ = nullptr;
};

}  // namespace testkit

#endif
