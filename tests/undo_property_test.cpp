// Undo and redo give back every earlier state exactly: seeded random
// sequences of console commands (new objects and arrows, moves, parameter
// edits, button presses, undo and redo) in both releases. The state after
// each command is recorded against the depth of the undo stack; then undo
// runs all the way down and redo all the way up, and the document must equal
// the recorded state at every depth.
//
// A failure names the seed and prints the commands as a console script, so
// `tolvane-host run -` replays it. TOLVANE_UNDO_SEED=N runs the sequences
// from seed N on; TOLVANE_UNDO_SEQUENCES=K changes how many.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "script.h"
#include "script_userdata.h"
#include "fixture.h"

namespace {

using host::Object;
using host::Value;

constexpr int kCommandsPerSequence = 30;

long EnvNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  return std::strtol(text, nullptr, 10);
}

// A value as exact text: floats so that they read back to the same double,
// links by the target's serial.
std::string ValueText(const Value& v) {
  switch (v.type) {
    case HA_TYPE_INT32:
      return "i" + std::to_string(v.i);
    case HA_TYPE_FLOAT:
      return "f" + host::FormatDouble(v.f);
    case HA_TYPE_VECTOR:
      return "v" + host::FormatDouble(v.AsVector().x) + "," + host::FormatDouble(v.AsVector().y) + "," +
             host::FormatDouble(v.AsVector().z);
    case HA_TYPE_STRING:
      return "s\"" + v.AsString() + "\"";
    case HA_TYPE_LINK:
      return "l#" + std::to_string(v.link);
    default:
      return host::CustomValueJson(v).dump();
  }
}

// The whole document: every object in tree order with its depth, name,
// type, serial and every parameter, then the undo stack's steps (each entry's
// kind and object). The redo stack is left out: it is what differs between
// the way down and the way up.
std::string StateOf(host::Document* doc) {
  std::ostringstream out;
  for (const Object* op : doc->TreeOrder()) {
    int depth = 0;
    for (const Object* p = op->Up(); p != nullptr; p = p->Up()) ++depth;
    out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << op->Name() << " #"
        << op->Serial() << " type " << op->Type() << ":";
    for (const auto& [id, value] : op->Data().Entries())
      out << " " << id << "=" << ValueText(value);
    out << "\n";
  }
  out << "undo:";
  for (const host::UndoStep& step : doc->UndoSteps()) {
    out << " [";
    for (const host::UndoEntry& e : step.entries) out << " " << e.kind << "#" << e.object->Serial();
    out << " ]";
  }
  out << "\n";
  return out.str();
}

// The first line where two states differ.
std::string FirstDifference(const std::string& want, const std::string& got) {
  std::istringstream a(want), b(got);
  std::string la, lb;
  while (true) {
    const bool ga = static_cast<bool>(std::getline(a, la));
    const bool gb = static_cast<bool>(std::getline(b, lb));
    if (!ga && !gb) return "(equal)";
    if (la != lb || ga != gb)
      return "expected: " + (ga ? la : "(end)") + "\n     got: " + (gb ? lb : "(end)");
  }
}

std::string Quote(const std::string& name) { return "\"" + name + "\""; }

// Where the document's index of names answers otherwise than a walk in tree
// order (the first object with the name); empty when every name agrees.
std::string NameLookupDiffers(const host::Document* doc) {
  std::map<std::string, const Object*> first;
  for (const Object* op : doc->TreeOrder()) first.emplace(op->Name(), op);
  for (const auto& [name, op] : first) {
    if (doc->FindNamed(name) != op) return "the lookup of " + Quote(name) + " found another object";
    if (doc->FindNamed(name + "?") != nullptr) return "a lookup of " + Quote(name + "?") + " found one";
  }
  return "";
}

// Makes random commands that are valid most of the time: existing names,
// parameters of the description with values in their ranges, moves that do
// not put an object inside itself.
class Generator {
 public:
  Generator(uint32_t seed, host::Session& session) : rng_(seed), session_(session) {}

  std::string Next() {
    host::Document* doc = session_.Doc();
    const std::vector<Object*> objects = doc->TreeOrder();
    const int roll = Pick(100);
    if (objects.empty() || roll < 8) {
      // Now and then a name already given, so that names repeat.
      const int number = arrows_ > 0 && Pick(6) == 0 ? 1 + static_cast<int>(Pick(arrows_)) : ++arrows_;
      return "arrow A" + std::to_string(number) + (Pick(4) == 0 ? " menu" : "");
    }
    if (roll < 16) {
      static const char* kKinds[] = {"spline", "spline", "null", "extrude", "cloner", "splinewrap"};
      return std::string("object ") + kKinds[Pick(6)] + " O" + std::to_string(++others_);
    }
    if (roll < 28) return Move(objects);
    if (roll < 40) return "undo";
    if (roll < 47) return "redo";
    std::vector<Object*> arrows;
    for (Object* op : objects)
      if (op->Plugin() != nullptr) arrows.push_back(op);
    if (arrows.empty()) return "arrow A" + std::to_string(++arrows_);
    if (roll < 67) return Press(arrows);
    if (roll < 93) return SetArrow(arrows[Pick(arrows.size())], objects);
    return SetHostObject(objects);
  }

 private:
  std::size_t Pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }
  double Between(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng_);
  }

  std::string Move(const std::vector<Object*>& objects) {
    Object* op = objects[Pick(objects.size())];
    if (Pick(5) == 0) return "move " + Quote(op->Name()) + " top";
    std::vector<Object*> parents;
    for (Object* p : objects) {
      bool inside = false;
      for (Object* q = p; q != nullptr; q = q->Up()) inside = inside || q == op;
      if (!inside) parents.push_back(p);
    }
    if (parents.empty()) return "move " + Quote(op->Name()) + " top";
    return "move " + Quote(op->Name()) + " under " + Quote(parents[Pick(parents.size())]->Name()) +
           (Pick(2) == 0 ? " first" : " last");
  }

  std::string Press(std::vector<Object*> arrows) {
    static const char* kButtons[] = {
        "ARROW_MAKE_EXTRUDE",     "ARROW_MAKE_CLONER", "ARROW_MAKE_SPLINE_WRAP",
        "ARROW_MAKE_EXTRUDE",     "ARROW_MAKE_CLONER", "ARROW_MAKE_SPLINE_WRAP",
        "ARROW_MAKE_SPLINE_WRAP", "ARROW_RESET",       "ARROW_RESET",
        "ARROW_SHOW_INFO",        "ARROW_LOAD_PRESET"};
    std::string button = kButtons[Pick(11)];
    // Release 12 has no information button; a cancelled load changes nothing.
    if (session_.FindParam(button) == nullptr) button = "ARROW_RESET";
    if (button == "ARROW_MAKE_SPLINE_WRAP" && Pick(4) != 0) {
      // The wrap needs a path: mostly press it on an arrow that has one.
      const int32_t path = session_.FindParam("ARROW_WRAP_SPLINE")->id;
      std::vector<Object*> withPath;
      for (Object* op : arrows) {
        const Value* link = op->Data().Find(path);
        if (link != nullptr && link->link != 0) withPath.push_back(op);
      }
      if (!withPath.empty()) arrows = withPath;
    }
    return "press " + Quote(arrows[Pick(arrows.size())]->Name()) + " " + button;
  }

  std::string SetArrow(Object* arrow, const std::vector<Object*>& objects) {
    const host::Description* d = session_.ArrowDescription();
    std::vector<const host::ParamDesc*> params;
    for (const host::ParamDesc& p : d->params) {
      if (p.type == "button") continue;
      params.push_back(&p);
      // The parameters with reactions come up more often.
      if (p.name.find("CLONE") != std::string::npos || p.name.find("WRAP") != std::string::npos ||
          p.name.find("EXTRUDE") != std::string::npos || p.name == "ARROW_PLANE")
        params.insert(params.end(), 3, &p);
      // So do the paths, which the cloner on a path and the spline wrap need.
      if (p.type == "link") params.insert(params.end(), 8, &p);
    }
    const host::ParamDesc& p = *params[Pick(params.size())];
    std::string value;
    if (p.type == "bool") {
      value = Pick(2) == 0 ? "false" : "true";
    } else if (p.type == "int32") {
      if (!p.choices.empty()) {
        value = std::to_string(p.choices[Pick(p.choices.size())].first);
      } else {
        const long lo = p.min ? static_cast<long>(*p.min) : 0;
        const long hi = p.max ? std::min<long>(static_cast<long>(*p.max), lo + 20) : lo + 20;
        value = std::to_string(lo + static_cast<long>(Pick(static_cast<std::size_t>(hi - lo + 1))));
      }
    } else if (p.type == "float") {
      const double lo = p.min ? *p.min : -50.0;
      const double hi = p.max ? *p.max : lo + 500.0;
      value = host::FormatDouble(Between(lo, hi));
    } else if (p.type == "string") {
      value = "P" + std::to_string(Pick(100));
    } else if (p.type == "link") {
      std::vector<Object*> targets;
      for (Object* op : objects)
        if (p.accept == 0 || p.accept == Obase || op->Type() == p.accept)
          targets.push_back(op);
      // Links mostly go to splines, as a user would pick them.
      std::vector<Object*> splines;
      for (Object* op : targets)
        if (op->Type() == Ospline) splines.push_back(op);
      if (!splines.empty() && Pick(4) != 0) targets = splines;
      value =
          targets.empty() || Pick(6) == 0 ? "none" : Quote(targets[Pick(targets.size())]->Name());
    }
    return "set " + Quote(arrow->Name()) + " " + p.name + " " + value;
  }

  // The host objects' own parameters that the arrow's set-ups read or write.
  std::string SetHostObject(const std::vector<Object*>& objects) {
    std::vector<Object*> hostObjects;
    for (Object* op : objects)
      if (op->Plugin() == nullptr) hostObjects.push_back(op);
    if (hostObjects.empty()) return "object null O" + std::to_string(++others_);
    Object* op = hostObjects[Pick(hostObjects.size())];
    std::string param;
    switch (op->Type()) {
      case Ocloner: {
        const std::size_t which = Pick(3);
        if (which == 0)
          param = "2010 int:" + std::to_string(Pick(2));
        else if (which == 1)
          param = "1060 int:" + std::to_string(Pick(9));
        else {
          std::string target = "none";
          for (Object* t : objects)
            if (t->Type() == Ospline && Pick(2) == 0) target = Quote(t->Name());
          param = "1015 link:" + target;
        }
        break;
      }
      case Oextrude:
        param = "1002 vector:" + std::to_string(Pick(30)) + ",0," + std::to_string(Pick(30));
        break;
      case Osplinewrap:
        param = "1012 int:" + std::to_string(Pick(2));
        break;
      default:
        param = "5000 float:" + host::FormatDouble(Between(0.0, 10.0));
        break;
    }
    return "set " + Quote(op->Name()) + " " + param;
  }

  std::mt19937 rng_;
  host::Session& session_;
  int arrows_ = 0;
  int others_ = 0;
};

class UndoProperty : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Both, UndoProperty, ::testing::Values(16, 12));

// Runs one sequence on a loaded plug-in; answers false (with the failure
// recorded) at the first state that undo or redo did not give back.
bool RunCommands(host::ScriptConsole& console, int release, uint32_t seed, long* commandsRun,
                 long* refused) {
  std::string script = "plugin release " + std::to_string(release) + "\n";
  std::string error;
  host::Session& session = *console.LoadedSession();
  host::Document* doc = session.Doc();
  Generator generator(seed, session);

  // states[d]: the document with d steps on the undo stack; the entries past
  // the present depth are the states redo gives back.
  std::vector<std::string> states = {StateOf(doc)};
  std::size_t depth = 0;
  const auto fail = [&](const std::string& what, const std::string& want, const std::string& got) {
    ADD_FAILURE() << "release " << release << ", seed " << seed << ": " << what << "\n  "
                  << FirstDifference(want, got) << "\nscript (tolvane-host run -):\n"
                  << script;
    return false;
  };

  for (int i = 0; i < kCommandsPerSequence; ++i) {
    const std::string line = generator.Next();
    script += line + "\n";
    ++*commandsRun;
    const bool ok = console.Execute(line, &error);
    const std::string lookup = NameLookupDiffers(doc);
    if (!lookup.empty()) return fail("after " + line + ": " + lookup, "", "");
    if (!ok) {
      // Refused commands (nothing to undo, say) must change nothing.
      ++*refused;
      if (console.Status() != host::kScriptError) return fail(line + " failed: " + error, "", "");
      if (StateOf(doc) != states[depth])
        return fail(line + " was refused but changed the document", states[depth], StateOf(doc));
      continue;
    }
    const std::size_t now = doc->UndoSteps().size();
    const std::string state = StateOf(doc);
    if (line == "undo" || line == "redo") {
      const std::size_t want = line == "undo" ? depth - 1 : depth + 1;
      if (now != want)
        return fail(
            line + " went to depth " + std::to_string(now) + ", not " + std::to_string(want), "",
            "");
      depth = now;
      if (state != states[depth])
        return fail(line + " did not give back the state of depth " + std::to_string(depth),
                    states[depth], state);
      continue;
    }
    if (now == depth) {
      // No step recorded: the document must be as it was, or undo could not
      // take the change back.
      if (state != states[depth])
        return fail(line + " changed the document without an undo step", states[depth], state);
      continue;
    }
    if (now != depth + 1)
      return fail(line + " made " + std::to_string(now - depth) + " undo steps", "", "");
    depth = now;
    states.resize(depth);  // a new step clears redo
    states.push_back(state);
  }

  // All the way down, then all the way up, checking every depth.
  while (depth > 0) {
    if (!console.Execute("undo", &error))
      return fail("undo at depth " + std::to_string(depth) + ": " + error, "", "");
    script += "undo\n";
    --depth;
    if (!NameLookupDiffers(doc).empty()) return fail("undo: " + NameLookupDiffers(doc), "", "");
    const std::string state = StateOf(doc);
    if (state != states[depth])
      return fail("undo down to depth " + std::to_string(depth), states[depth], state);
  }
  while (depth + 1 < states.size()) {
    if (!console.Execute("redo", &error))
      return fail("redo at depth " + std::to_string(depth) + ": " + error, "", "");
    script += "redo\n";
    ++depth;
    const std::string state = StateOf(doc);
    if (state != states[depth])
      return fail("redo up to depth " + std::to_string(depth), states[depth], state);
  }
  if (console.Execute("redo", &error)) return fail("redo went past the last step", "", "");
  return true;
}

// One sequence in a host of its own, which must end without a leak or misuse.
bool RunSequence(int release, uint32_t seed, long* commandsRun, long* refused) {
  std::ostringstream out;
  host::ScriptConsole console(out);
  std::string error;
  if (!console.Execute("plugin release " + std::to_string(release), &error)) {
    ADD_FAILURE() << error;
    return false;
  }
  const bool ok = RunCommands(console, release, seed, commandsRun, refused);
  testkit::ExpectCleanShutdown(console.LoadedSession()->GetHost());
  return ok;
}

TEST_P(UndoProperty, UndoAndRedoGiveBackEveryRecordedState) {
  const int release = GetParam();
  const long firstSeed = EnvNumber("TOLVANE_UNDO_SEED", 1);
  const long sequences = EnvNumber("TOLVANE_UNDO_SEQUENCES", 200);
  long commands = 0, refused = 0, failed = 0;
  for (long i = 0; i < sequences; ++i) {
    if (!RunSequence(release, static_cast<uint32_t>(firstSeed + i), &commands, &refused) &&
        ++failed >= 3)
      break;  // a few failing seeds are enough to look at
  }
  // Most generated commands must be valid, or the property says little.
  EXPECT_LT(refused * 5, commands) << refused << " of " << commands << " commands were refused";
  std::printf("release %d: %ld sequences, %ld commands, %ld refused\n", release, sequences,
              commands, refused);
}

}  // namespace
