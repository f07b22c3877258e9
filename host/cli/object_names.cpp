#include "object_names.h"

#include <algorithm>
#include <cstdint>

#include "parse.h"

namespace host {

namespace {

// The names of the objects in the tree, in tree order, for suggestions.
void TreeNames(const Object* first, std::vector<std::string>* names) {
  for (const Object* op = first; op != nullptr; op = op->Next()) {
    names->push_back(op->Name());
    TreeNames(op->Down(), names);
  }
}

// ": did you mean 'Arrow'?" for a name near one in the tree, or empty.
std::string NearObject(const Document* doc, const std::string& name) {
  std::vector<std::string> names;
  TreeNames(doc->First(), &names);
  return DidYouMean(name, names);
}

Object* MatchPath(Object* first, const std::vector<std::string>& parts, std::size_t at) {
  for (Object* op = first; op != nullptr; op = op->Next()) {
    if (op->Name() != parts[at]) continue;
    if (at + 1 == parts.size()) return op;
    if (Object* found = MatchPath(op->Down(), parts, at + 1)) return found;
  }
  return nullptr;
}

void CollectNamed(const Object* first, const std::string& name, std::vector<std::string>* paths) {
  for (const Object* op = first; op != nullptr; op = op->Next()) {
    if (op->Name() == name) paths->push_back(PathOf(op));
    CollectNamed(op->Down(), name, paths);
  }
}

}  // namespace

Object* FindObjectIn(const Document* doc, const std::string& nameOrPath, std::string* error) {
  long long serial = 0;
  if (nameOrPath.size() > 1 && nameOrPath[0] == '@' &&
      ParseWholeNumber(nameOrPath.substr(1), 1, INT64_MAX, &serial)) {
    Object* op = Object::FindSerial(serial);
    if (op != nullptr && doc->Owns(op) && op->InTree()) return op;
    *error = "no object " + Quoted(nameOrPath) + " in the document";
    return nullptr;
  }
  if (nameOrPath.find('/') == std::string::npos) {
    if (Object* op = doc->FindNamed(nameOrPath)) return op;
    *error = "no object " + Quoted(nameOrPath) + " in the document" + NearObject(doc, nameOrPath);
    return nullptr;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = nameOrPath.find('/', start);
    parts.push_back(nameOrPath.substr(start, slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  if (std::any_of(parts.begin(), parts.end(), [](const std::string& p) { return p.empty(); })) {
    *error = "bad object path " + Quoted(nameOrPath) + ": a name between slashes is empty";
    return nullptr;
  }
  Object* found = MatchPath(doc->First(), parts, 0);
  if (found == nullptr) *error = "no object at path " + Quoted(nameOrPath) + " in the document";
  return found;
}

std::string PathOf(const Object* op) {
  std::string path = op->Name();
  for (const Object* up = op->Up(); up != nullptr; up = up->Up()) path = up->Name() + "/" + path;
  return path;
}

std::vector<std::string> PathsNamed(const Document* doc, const std::string& name) {
  std::vector<std::string> paths;
  CollectNamed(doc->First(), name, &paths);
  return paths;
}

}  // namespace host
