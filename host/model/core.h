// Shared services of the stand-in host: the pieces every area of the host
// uses (texts handed to the module, handle checks, failure injection, the
// allocation ledger). One host runs per process at a time.
#ifndef HOST_CORE_H
#define HOST_CORE_H

#include <cstdint>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "hostapi.h"

namespace host {

// A set of live handles of one kind: every handle the module passes in is
// checked against it, so a stale or foreign handle fails the call instead of
// crashing the host.
template <typename T>
class HandleSet {
 public:
  void Add(const T* p) { live_.insert(p); }
  void Remove(const T* p) { live_.erase(p); }
  bool Has(const void* p) const { return p != nullptr && live_.count(static_cast<const T*>(p)) != 0; }
  std::size_t Size() const { return live_.size(); }
  const std::unordered_set<const T*>& All() const { return live_; }

 private:
  std::unordered_set<const T*> live_;
};

// Failure injection: make the Nth allocation (or every one from the Nth on),
// or the Nth file operation, fail. Counting starts when the plan is set.
class FailurePlan {
 public:
  // 0 switches the plan off.
  void FailAllocation(long nth, bool andAllLater = false) {
    allocFailAt_ = nth;
    allocFailOnward_ = andAllLater;
    allocCount_ = 0;
  }
  void FailFileOperation(long nth) {
    fileFailAt_ = nth;
    fileCount_ = 0;
  }
  // A fresh plan: off, with every count back at zero.
  void Reset() { *this = FailurePlan(); }
  void Off() {
    FailAllocation(0);
    FailFileOperation(0);
  }
  // Called by every allocation the module asks for; true when it must fail.
  bool NextAllocationFails() {
    ++allocCount_;
    if (allocFailAt_ <= 0) return false;
    bool fail = allocFailOnward_ ? allocCount_ >= allocFailAt_ : allocCount_ == allocFailAt_;
    if (fail) ++allocFailures_;
    return fail;
  }
  // Called by every open, read, write, close, rename and remove of a file.
  bool NextFileOperationFails() {
    ++fileCount_;
    bool fail = fileFailAt_ > 0 && fileCount_ == fileFailAt_;
    if (fail) ++fileFailures_;
    return fail;
  }
  long AllocationsCounted() const { return allocCount_; }
  long FileOperationsCounted() const { return fileCount_; }
  long AllocationFailuresInjected() const { return allocFailures_; }
  long FileFailuresInjected() const { return fileFailures_; }

 private:
  long allocFailAt_ = 0;
  bool allocFailOnward_ = false;
  long allocCount_ = 0;
  long allocFailures_ = 0;
  long fileFailAt_ = 0;
  long fileCount_ = 0;
  long fileFailures_ = 0;
};

FailurePlan& Failures();

// No exception may leave a function of the interface: runs `body` and, when
// it throws, reports the host error and answers `fallback` instead.
void ReportMisuse(const std::string& what);
template <typename R, typename F>
R Guarded(R fallback, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    try {
      ReportMisuse("host error inside an interface call");
    } catch (...) {
    }
    return fallback;
  }
}
template <typename F>
void GuardedVoid(F&& body) noexcept {
  try {
    body();
  } catch (...) {
    try {
      ReportMisuse("host error inside an interface call");
    } catch (...) {
    }
  }
}

// A text the host hands to the module; the module frees it.
struct Text {
  std::string value;
};
ha_text MakeText(std::string value);
// The live texts (the module must have freed all of them at shutdown).
HandleSet<Text>& Texts();

// A problem the host noticed in the module's use of the interface (a bad
// handle, a double free). Kept so tests can assert there were none.
void ReportMisuse(const std::string& what);
const std::vector<std::string>& Misuses();
void ClearMisuses();

}  // namespace host

#endif
