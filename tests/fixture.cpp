#include "fixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "core.h"
#include "plugin_folders.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace testkit {

TempDir::TempDir() {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = fs::temp_directory_path() / ("tolvane-test-" + std::to_string(rd()));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p.string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const { return (fs::path(path_) / name).string(); }

std::string CopyPluginFolder(int release, const std::string& dir, bool withResources,
                             bool withPresets) {
  const fs::path from = host::PluginFolder(release);
  const fs::path to = fs::path(dir) / from.filename();
  fs::create_directories(to);
  for (const auto& entry : fs::directory_iterator(from)) {
    const std::string name = entry.path().filename().string();
    if (name == "resources" && !withResources) continue;
    if (name == "presets" && !withPresets) continue;
    fs::copy(entry.path(), to / name, fs::copy_options::recursive);
  }
  return to.string();
}

void ExpectCleanShutdown(host::Host& h) {
  h.Shutdown();
  for (const host::Leak& leak : h.Leaks()) {
    ADD_FAILURE() << "leak: " << leak.what << " " << leak.bytes << " bytes from " << leak.file
                  << ":" << leak.line;
  }
  for (const std::string& m : host::Misuses()) ADD_FAILURE() << "interface misuse: " << m;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

ProgramResult RunProgram(const std::string& args, const std::string& stdinText) {
  TempDir tmp;
  const std::string outFile = tmp.File("out.txt");
  const std::string errFile = tmp.File("err.txt");
  const std::string inFile = tmp.File("in.txt");
  {
    std::ofstream in(inFile, std::ios::binary);
    in << stdinText;
  }
  const std::string command = std::string("\"") + TOLVANE_HOST_PROGRAM + "\" " + args + " <\"" +
                              inFile + "\" >\"" + outFile + "\" 2>\"" + errFile + "\"";
  ProgramResult r;
#if defined(_WIN32)
  // cmd /c drops the first and the last quote of a line that starts with
  // one; the outer pair keeps the line as written. The answer is the exit code.
  r.status = std::system(("\"" + command + "\"").c_str());
#else
  const int raw = std::system(command.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  r.out = ReadFileBytes(outFile);
  r.err = ReadFileBytes(errFile);
  return r;
}

void ArrowTest::SetUp() {
  session_ = std::make_unique<host::Session>(host::SessionOptions{GetParam(), "", 0});
  std::string error;
  ASSERT_TRUE(session_->Open(&error)) << error;
  arrow_ = session_->NewArrow(false, &error);
  ASSERT_NE(arrow_, nullptr) << error;
}

void ArrowTest::TearDown() {
  if (session_) ExpectCleanShutdown(session_->GetHost());
}

void ArrowTest::Set(const std::string& assignment) {
  std::string error;
  ASSERT_TRUE(session_->ApplySetting(arrow_, assignment, &error)) << error;
}

}  // namespace testkit
