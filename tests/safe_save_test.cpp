// Every place that saves a file (the program's `outline -o`, `preset save`,
// the console's `save-scene` and `gui png`) against every kind of target:
// regular files, links and chains of links, dangling links, directories,
// device files and FIFOs. A link stays a link and the file it leads to gets
// the new bytes; a device or FIFO is written straight into; a directory is
// refused; nothing is left behind. Then injected failures at every step of a
// save through links, which must leave the links and their files as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core.h"
#include "files.h"
#include "fixture.h"
#include "safe_writer.h"
#include "scenefile.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using testkit::ProgramResult;
using testkit::ReadFileBytes;
using testkit::RunProgram;
using testkit::TempDir;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

// --- the writers ----------------------------------------------------------------

struct Writer {
  const char* name;
  std::function<ProgramResult(const std::string& target)> run;
};

// Runs a console script (in a folder of its own, so it is never among the
// files a case looks at).
ProgramResult RunScript(const std::string& text) {
  TempDir dir;
  const std::string script = dir.File("save.script");
  WriteBytes(script, text);
  return RunProgram("run " + Quoted(script));
}

const std::vector<Writer>& Writers() {
  static const std::vector<Writer> writers = {
      {"outline -o", [](const std::string& t) { return RunProgram("outline -o " + Quoted(t)); }},
      {"preset save",
       [](const std::string& t) { return RunProgram("preset save " + Quoted(t) + " --set ARROW_HEAD_LENGTH=42"); }},
      {"save-scene",
       [](const std::string& t) { return RunScript("arrow Arrow\nsave-scene " + t + "\n"); }},
      {"gui png",
       [](const std::string& t) {
         return RunScript("arrow Arrow\nuserdata Arrow dots Dots\ngui open Arrow Dots\ngui click 120 80\n"
                          "gui png " + t + "\n");
       }},
  };
  return writers;
}

// What each writer writes to a plain new file.
const std::string& Reference(const Writer& w) {
  static std::vector<std::string> bytes(Writers().size());
  static std::vector<bool> made(Writers().size(), false);
  const std::size_t i = static_cast<std::size_t>(&w - Writers().data());
  if (!made[i]) {
    TempDir dir;
    const std::string file = dir.File("reference.tlv");
    const ProgramResult r = w.run(file);
    EXPECT_EQ(r.status, 0) << w.name << ": " << r.err;
    bytes[i] = ReadFileBytes(file);
    EXPECT_FALSE(bytes[i].empty()) << w.name;
    made[i] = true;
  }
  return bytes[i];
}

// --- the target kinds -------------------------------------------------------------

// Where one case happens: the folder of the case, and a folder on another
// file system when one is needed.
struct Place {
  TempDir dir;
  std::string other;  // a folder under /dev/shm, removed with the case
  std::string skip;   // why the target could not be made
  ~Place() {
    std::error_code ec;
    if (!other.empty()) fs::remove_all(other, ec);
  }
  std::string File(const std::string& name) const { return dir.File(name); }
};

struct Outcome {
  ProgramResult result;
  std::string fifoBytes;  // what came through a FIFO target
};

struct Kind {
  const char* name;
  // Lays the target out and answers the name to save to; empty when this
  // system cannot make such a target (`Place::skip` says why).
  std::function<std::string(Place&)> setUp;
  // Checks the result; `saved` is what the writer writes to a plain file.
  std::function<void(const Place&, const std::string& target, const Outcome&, const std::string& saved)> check;
};

const char kOld[] = "the old bytes";
constexpr fs::perms kKeptPermissions = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;

void ExpectWritten(const Outcome& o) {
  EXPECT_EQ(o.result.status, 0) << o.result.err;
  EXPECT_EQ(o.result.err, "");
}

// A refusal or failure: a non-zero exit and a message naming the file.
void ExpectFailedNaming(const Outcome& o, const std::string& name, const std::string& reason) {
  EXPECT_NE(o.result.status, 0);
  EXPECT_NE(o.result.err.find(name), std::string::npos) << o.result.err;
  EXPECT_NE(o.result.err.find(reason), std::string::npos) << o.result.err;
}

// Files whose name says they are temporary, anywhere under `dir`.
std::vector<std::string> Leftovers(const std::string& dir) {
  std::vector<std::string> found;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string().find("partial") != std::string::npos) found.push_back(it->path().string());
  }
  return found;
}

#if !defined(_WIN32)
void ExpectLink(const std::string& link, const std::string& to) {
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link))) << link << " is no longer a link";
  std::error_code ec;
  EXPECT_EQ(fs::read_symlink(link, ec).string(), to) << link;
}

bool IsCharDevice(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

constexpr unsigned kDevNull = 3;  // minor numbers of the memory devices
constexpr unsigned kDevFull = 7;

// Makes a character device `name` in the case's folder; empty (and the
// reason noted) when the system does not let this user make one.
std::string Device(Place& p, const std::string& name, unsigned minor) {
  const std::string path = p.File(name);
  if (mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor)) != 0) {
    p.skip = "cannot make a device node here: " + std::string(std::strerror(errno));
    return "";
  }
  const int fd = open(path.c_str(), O_WRONLY);  // a folder on a "nodev" mount refuses it
  if (fd < 0) {
    p.skip = "cannot open a device node here: " + std::string(std::strerror(errno));
    return "";
  }
  close(fd);
  return path;
}

// A folder on another file system than `beside`, or empty when there is none.
std::string FolderElsewhere(const std::string& beside) {
  struct stat a, b;
  if (stat(beside.c_str(), &a) != 0 || stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev) return "";
  char name[] = "/dev/shm/tolvane-save-XXXXXX";
  return mkdtemp(name) != nullptr ? std::string(name) : std::string();
}
#endif

const std::vector<Kind>& Kinds() {
  static const std::vector<Kind> kinds = {
      // The file keeps its permissions.
      {"RegularFile",
       [](Place& p) {
         WriteBytes(p.File("out.tlv"), kOld);
         fs::permissions(p.File("out.tlv"), kKeptPermissions);
         return p.File("out.tlv");
       },
       [](const Place&, const std::string& t, const Outcome& o, const std::string& saved) {
         ExpectWritten(o);
         EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(t)));
         EXPECT_EQ(ReadFileBytes(t), saved);
#if !defined(_WIN32)
         EXPECT_EQ(fs::status(t).permissions(), kKeptPermissions);
#endif
       }},
      {"NoFileYet", [](Place& p) { return p.File("out.tlv"); },
       [](const Place&, const std::string& t, const Outcome& o, const std::string& saved) {
         ExpectWritten(o);
         EXPECT_EQ(ReadFileBytes(t), saved);
       }},
      {"Directory",
       [](Place& p) {
         fs::create_directory(p.File("out.tlv"));
         WriteBytes(p.File("out.tlv/keep"), kOld);
         return p.File("out.tlv");
       },
       [](const Place&, const std::string& t, const Outcome& o, const std::string&) {
         ExpectFailedNaming(o, t, "directory");
         EXPECT_TRUE(fs::is_directory(fs::symlink_status(t)));
         EXPECT_EQ(ReadFileBytes(t + "/keep"), kOld);
       }},
#if !defined(_WIN32)
      {"LinkToAFileInAnotherFolder",
       [](Place& p) {
         fs::create_directory(p.File("real"));
         WriteBytes(p.File("real/out.tlv"), kOld);
         fs::create_symlink("real/out.tlv", p.File("link.tlv"));
         return p.File("link.tlv");
       },
       [](const Place& p, const std::string& t, const Outcome& o, const std::string& saved) {
         ExpectWritten(o);
         ExpectLink(t, "real/out.tlv");
         EXPECT_EQ(ReadFileBytes(p.File("real/out.tlv")), saved);
       }},
      {"ChainOfLinks",
       [](Place& p) {
         fs::create_directory(p.File("real"));
         WriteBytes(p.File("real/out.tlv"), kOld);
         fs::create_symlink(p.File("real/out.tlv"), p.File("second.tlv"));  // absolute
         fs::create_directory(p.File("links"));
         fs::create_symlink("../second.tlv", p.File("links/first.tlv"));  // relative to its folder
         return p.File("links/first.tlv");
       },
       [](const Place& p, const std::string& t, const Outcome& o, const std::string& saved) {
         ExpectWritten(o);
         ExpectLink(t, "../second.tlv");
         ExpectLink(p.File("second.tlv"), p.File("real/out.tlv"));
         EXPECT_EQ(ReadFileBytes(p.File("real/out.tlv")), saved);
       }},
      {"DanglingLink",
       [](Place& p) {
         fs::create_directory(p.File("real"));
         fs::create_symlink("real/new.tlv", p.File("link.tlv"));
         return p.File("link.tlv");
       },
       [](const Place& p, const std::string& t, const Outcome& o, const std::string& saved) {
         ExpectWritten(o);
         ExpectLink(t, "real/new.tlv");
         EXPECT_EQ(ReadFileBytes(p.File("real/new.tlv")), saved);
       }},
      {"LinkToADirectory",
       [](Place& p) {
         fs::create_directory(p.File("real"));
         fs::create_symlink("real", p.File("link.tlv"));
         return p.File("link.tlv");
       },
       [](const Place& p, const std::string& t, const Outcome& o, const std::string&) {
         ExpectFailedNaming(o, t, "directory");
         ExpectLink(t, "real");
         EXPECT_TRUE(fs::is_empty(p.File("real")));
       }},
      {"LinkLoop",
       [](Place& p) {
         fs::create_symlink("loop.tlv", p.File("loop.tlv"));
         return p.File("loop.tlv");
       },
       [](const Place&, const std::string& t, const Outcome& o, const std::string&) {
         ExpectFailedNaming(o, t, "links");
         ExpectLink(t, "loop.tlv");
       }},
      {"LinkToAFileOnAnotherFileSystem",
       [](Place& p) -> std::string {
         p.other = FolderElsewhere(p.dir.Path());
         if (p.other.empty()) {
           p.skip = "no second file system at /dev/shm";
           return std::string();
         }
         WriteBytes(p.other + "/out.tlv", kOld);
         fs::create_symlink(p.other + "/out.tlv", p.File("link.tlv"));
         return p.File("link.tlv");
       },
       [](const Place& p, const std::string& t, const Outcome& o, const std::string& saved) {
         ExpectWritten(o);
         ExpectLink(t, p.other + "/out.tlv");
         EXPECT_EQ(ReadFileBytes(p.other + "/out.tlv"), saved);
         EXPECT_TRUE(Leftovers(p.other).empty());
       }},
      {"Fifo",
       [](Place& p) {
         EXPECT_EQ(mkfifo(p.File("pipe.tlv").c_str(), 0600), 0);
         return p.File("pipe.tlv");
       },
       [](const Place&, const std::string& t, const Outcome& o, const std::string& saved) {
         ExpectWritten(o);
         EXPECT_EQ(o.fifoBytes, saved);
         EXPECT_TRUE(fs::is_fifo(fs::symlink_status(t)));
       }},
      // The devices are made in the case's folder (the same devices as
      // /dev/full and /dev/null), so a save that replaced the node would
      // never touch the system's own.
      {"FullDevice", [](Place& p) { return Device(p, "full.tlv", kDevFull); },
       [](const Place&, const std::string& t, const Outcome& o, const std::string&) {
         ExpectFailedNaming(o, t, "No space");
         EXPECT_TRUE(IsCharDevice(t));
       }},
      {"LinkToAFullDevice",
       [](Place& p) {
         fs::create_directory(p.File("dev"));
         if (Device(p, "dev/full", kDevFull).empty()) return std::string();
         fs::create_symlink("dev/full", p.File("full.tlv"));
         return p.File("full.tlv");
       },
       [](const Place& p, const std::string& t, const Outcome& o, const std::string&) {
         ExpectFailedNaming(o, t, "No space");
         ExpectLink(t, "dev/full");
         EXPECT_TRUE(IsCharDevice(p.File("dev/full")));
       }},
      {"NullDevice", [](Place& p) { return Device(p, "null.tlv", kDevNull); },
       [](const Place&, const std::string& t, const Outcome& o, const std::string&) {
         ExpectWritten(o);
         EXPECT_TRUE(IsCharDevice(t));
       }},
      // As /dev/stdout does: a link to the program's own open output. The
      // bytes join what the program prints, in order.
      {"LinkToTheProgramsOutput",
       [](Place& p) {
         fs::create_symlink("/proc/self/fd/1", p.File("stdout.tlv"));
         return p.File("stdout.tlv");
       },
       [](const Place&, const std::string& t, const Outcome& o, const std::string& saved) {
         ExpectWritten(o);
         EXPECT_NE(o.result.out.find(saved), std::string::npos);
         ExpectLink(t, "/proc/self/fd/1");
       }},
#endif
  };
  return kinds;
}

#if !defined(_WIN32)
// Runs `run` while reading whatever comes through the FIFO `path` (opened
// for reading first, so the writer's open does not wait).
std::string ReadFifoWhile(const std::string& path, const std::function<void()>& run) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  EXPECT_GE(fd, 0);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    run();
    done = true;
  });
  std::string got;
  char buffer[4096];
  for (;;) {
    const bool finished = done.load();
    ssize_t n = 0;
    while (fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<std::size_t>(n));
    if (finished) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  worker.join();
  if (fd >= 0) close(fd);
  return got;
}
#endif

class SavedTargets : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SavedTargets, EveryWriterFollowsTheSameRules) {
  const Kind& kind = Kinds()[GetParam()];
  for (const Writer& w : Writers()) {
    SCOPED_TRACE(std::string(w.name) + " to " + kind.name);
    const std::string saved = Reference(w);
    Place place;
    const std::string target = kind.setUp(place);
    if (target.empty()) GTEST_SKIP() << place.skip;
    Outcome o;
#if !defined(_WIN32)
    if (fs::is_fifo(fs::symlink_status(target)))
      o.fifoBytes = ReadFifoWhile(target, [&] { o.result = w.run(target); });
    else
#endif
      o.result = w.run(target);
    kind.check(place, target, o, saved);
    const std::vector<std::string> left = Leftovers(place.dir.Path());
    EXPECT_TRUE(left.empty()) << "left behind: " << left.front();
  }
}

std::vector<std::size_t> KindIndexes() {
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < Kinds().size(); ++i) all.push_back(i);
  return all;
}

std::string KindName(const ::testing::TestParamInfo<std::size_t>& kind) { return Kinds()[kind.param].name; }

INSTANTIATE_TEST_SUITE_P(Kinds, SavedTargets, ::testing::ValuesIn(KindIndexes()), KindName);

#if defined(_WIN32)
TEST(SavedTargets, LinksDevicesAndFifosArePosixOnly) {
  GTEST_SKIP() << "symbolic links, FIFOs and device files (/dev/full, /dev/null) are POSIX-only; "
                  "on Windows regular files, new files and directories are checked";
}
#endif

// ---------------------------------------------------------------------------
// Injected failures at every step of a save through a chain of links and
// through a dangling link leave every link, every file and the folders as
// they were; the first save that meets no failure goes through.

// Files saved together (the frames of a sequence): whichever file operation
// fails, the files are all as they were, or, when a replacing step failed,
// the ones before it new and the rest as they were, which the message says;
// no temporary is left. A folder in the way of the last changes nothing.
TEST(SavedTogether, AFailureLeavesTheFilesAsTheyWereOrSaysHowMany) {
  host::Host running;  // whose failure plan the saves follow
  TempDir dir;
  std::vector<std::pair<std::string, std::string>> files;
  for (const char* name : {"f-1.svg", "f-2.svg", "f-3.svg"}) files.emplace_back(dir.File(name), std::string("new ") + name);
  const auto reset = [&] {
    for (const auto& f : files) WriteBytes(f.first, kOld);
  };
  reset();
  host::FailurePlan& plan = host::Failures();
  for (long nth = 1;; ++nth) {
    plan.Reset();
    plan.FailFileOperation(nth);
    std::string error;
    const bool ok = host::SaveFiles(files, &error);
    const bool injected = plan.FileFailuresInjected() > 0;
    plan.Reset();
    EXPECT_TRUE(Leftovers(dir.Path()).empty()) << "file operation " << nth;
    if (!injected) {
      EXPECT_TRUE(ok) << error;
      break;
    }
    EXPECT_FALSE(ok) << "file operation " << nth;
    std::size_t fresh = 0;
    while (fresh < files.size() && ReadFileBytes(files[fresh].first) == files[fresh].second) ++fresh;
    for (std::size_t i = fresh; i < files.size(); ++i)
      EXPECT_EQ(ReadFileBytes(files[i].first), kOld) << "file operation " << nth << ", file " << i;
    if (fresh > 0) {
      EXPECT_NE(error.find("the " + std::to_string(fresh) + " file"), std::string::npos) << error;
    }
    reset();
    ASSERT_LT(nth, 100);
  }
  for (const auto& f : files) EXPECT_EQ(ReadFileBytes(f.first), f.second);
  reset();
  fs::create_directory(dir.File("f-4.svg"));
  files.emplace_back(dir.File("f-4.svg"), "new f-4.svg");
  std::string error;
  EXPECT_FALSE(host::SaveFiles(files, &error));
  EXPECT_NE(error.find("f-4.svg"), std::string::npos) << error;
  for (std::size_t i = 0; i + 1 < files.size(); ++i) EXPECT_EQ(ReadFileBytes(files[i].first), kOld);
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

#if !defined(_WIN32)
class InjectedFailures : public testkit::ArrowTest {
 protected:
  // The folder's entries: name and, for links, where they lead; for files,
  // their bytes.
  std::vector<std::string> Snapshot() const {
    std::vector<std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(dir_.Path())) {
      const std::string name = e.path().string().substr(dir_.Path().size());
      if (e.is_symlink()) all.push_back(name + " -> " + fs::read_symlink(e.path()).string());
      else if (e.is_regular_file()) all.push_back(name + " = " + ReadFileBytes(e.path().string()));
      else all.push_back(name + "/");
    }
    std::sort(all.begin(), all.end());
    return all;
  }

  testkit::TempDir dir_;
};

TEST_P(InjectedFailures, LeaveLinkedTargetsAsTheyWere) {
  fs::create_directory(dir_.File("real"));
  WriteBytes(dir_.File("real/kept.tlv"), kOld);
  fs::create_symlink(dir_.File("real/kept.tlv"), dir_.File("second.tlv"));
  fs::create_symlink("second.tlv", dir_.File("chain.tlv"));
  fs::create_symlink("real/new.tlv", dir_.File("dangling.tlv"));
  struct Save {
    const char* name;
    std::function<bool(const std::string&)> run;
  };
  const std::vector<Save> saves = {
      {"scene",
       [&](const std::string& t) {
         std::string error;
         const bool ok = host::SaveScene(session_->GetHost().Options().interfaceVersion, *session_->Doc(), t, &error);
         EXPECT_EQ(ok, error.empty()) << error;
         return ok;
       }},
      {"preset",
       [&](const std::string& t) {
         const std::size_t before = host::FilesWritten().size();
         host::QueueDialogAnswer(t);
         std::string error;
         EXPECT_TRUE(session_->PressButton(arrow_, "ARROW_SAVE_PRESET", &error)) << error;
         host::ClearDialogQueue();
         return host::FilesWritten().size() > before && host::FilesWritten().back() == t;
       }},
  };
  for (const Save& save : saves) {
    for (const char* link : {"chain.tlv", "dangling.tlv"}) {
      SCOPED_TRACE(std::string(save.name) + " to " + link);
      const std::string target = dir_.File(link);
      const std::vector<std::string> before = Snapshot();
      host::FailurePlan& plan = session_->GetHost().Failures();
      for (long nth = 1;; ++nth) {
        plan.Reset();
        plan.FailFileOperation(nth);
        const bool ok = save.run(target);
        const bool injected = plan.FileFailuresInjected() > 0;
        plan.Reset();
        // A failure the save could do without lets it go through.
        if (!injected || ok) {
          EXPECT_TRUE(ok) << nth;
          break;
        }
        EXPECT_EQ(Snapshot(), before) << "file operation " << nth;
        ASSERT_LT(nth, 100);
      }
      // The save went through the links: they are still links and the file
      // they lead to holds the new bytes.
      EXPECT_TRUE(fs::is_symlink(fs::symlink_status(target)));
      const std::string written = ReadFileBytes(fs::canonical(target).string());
      EXPECT_NE(written, kOld);
      EXPECT_FALSE(written.empty());
      EXPECT_TRUE(Leftovers(dir_.Path()).empty());
      if (std::string(link) == "dangling.tlv") fs::remove(dir_.File("real/new.tlv"));
      else WriteBytes(dir_.File("real/kept.tlv"), kOld);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Releases, InjectedFailures, ::testing::Values(16, 12));
#endif

}  // namespace
