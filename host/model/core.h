// Shared services of the stand-in host: the pieces every area of the host
// uses (handle sets and flat maps, failure injection, texts handed to the
// module, the misuse log). What they hold belongs to the running host's
// state (state.h).
#ifndef HOST_CORE_H
#define HOST_CORE_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hostapi.h"

namespace host {

// The home slot of a pointer in a table of `capacity` (a power of two)
// slots. Objects made one after another lie near each other in memory, and
// the host registers or checks them in that order: addresses within one
// kilobyte keep their order and distance inside a run of slots, whose start
// is spread by Fibonacci hashing of the kilobyte. A table larger than the
// caches then takes neighbouring objects in neighbouring cache lines
// instead of one random line (and page) each.
//
// The run's start is taken from the top bits of the product (`shift` is 64
// minus the table's bit count), so when a table doubles every entry moves
// to about twice its place: growing copies the table front to back instead
// of scattering it.
inline std::size_t PointerHome(const void* p, unsigned shift, std::size_t capacity) {
  const uint64_t a = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)) >> 4;  // alignment
  const uint64_t start = ((a >> 6) * 0x9E3779B97F4A7C15ull) >> shift;
  return static_cast<std::size_t>(start + (a & 63)) & (capacity - 1);
}

// A set of live handles of one kind: every handle the module passes in is
// checked against it, so a stale or foreign handle fails the call instead of
// crashing the host. The check runs on every call the module makes, so the
// set is a flat open-addressing table (linear probing, deletion by shifting
// the following entries back): a lookup hashes the pointer and compares it
// with one or two slots of one array, without following node pointers. Only
// the pointer values are compared; nothing behind a handle is read.
template <typename T>
class HandleSet {
 public:
  HandleSet() = default;
  HandleSet(const HandleSet&) = delete;
  HandleSet& operator=(const HandleSet&) = delete;
  ~HandleSet() { delete[] slots_; }

  void Add(const T* p) {
    if (p == nullptr) return;
    if ((size_ + 1) * 4 > capacity_ * 3) Grow();
    std::size_t i = Home(p);
    while (slots_[i] != nullptr) {
      if (slots_[i] == p) return;
      i = (i + 1) & (capacity_ - 1);
    }
    slots_[i] = p;
    ++size_;
  }
  void Remove(const T* p) {
    if (p == nullptr || size_ == 0) return;
    // Any removal forgets the last handle found, so a handle that just
    // went is never answered from it.
    last_ = nullptr;
    const std::size_t mask = capacity_ - 1;
    std::size_t i = Home(p);
    while (slots_[i] != p) {
      if (slots_[i] == nullptr) return;
      i = (i + 1) & mask;
    }
    // Shift back every following entry of the run that may move into the
    // hole, so no lookup stops early at it.
    std::size_t hole = i;
    for (std::size_t j = (i + 1) & mask; slots_[j] != nullptr; j = (j + 1) & mask) {
      std::size_t home = Home(slots_[j]);
      // Movable when its home is not in (hole, j] cyclically.
      bool movable = hole <= j ? (home <= hole || home > j) : (home <= hole && home > j);
      if (movable) {
        slots_[hole] = slots_[j];
        hole = j;
      }
    }
    slots_[hole] = nullptr;
    --size_;
  }
  bool Has(const void* p) const {
    if (p == nullptr || size_ == 0) return false;
    const T* key = static_cast<const T*>(p);
    // The module mostly names the same handle many times in a row (one
    // container read parameter by parameter): the last handle found is
    // answered without hashing until something is removed.
    if (key == last_) return true;
    std::size_t i = Home(key);
    for (;;) {
      const T* at = slots_[i];
      if (at == key) {
        last_ = key;
        return true;
      }
      if (at == nullptr) return false;
      i = (i + 1) & (capacity_ - 1);
    }
  }
  std::size_t Size() const { return size_; }

  // The live handles, in no particular order (a view of the table; adding
  // or removing while iterating is not allowed).
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = const T*;
    using difference_type = std::ptrdiff_t;
    using pointer = const T* const*;
    using reference = const T*;
    Iterator(const T* const* at, const T* const* end) : at_(at), end_(end) { Skip(); }
    const T* operator*() const { return *at_; }
    Iterator& operator++() {
      ++at_;
      Skip();
      return *this;
    }
    bool operator==(const Iterator& o) const { return at_ == o.at_; }
    bool operator!=(const Iterator& o) const { return at_ != o.at_; }

   private:
    void Skip() {
      while (at_ != end_ && *at_ == nullptr) ++at_;
    }
    const T* const* at_;
    const T* const* end_;
  };
  Iterator begin() const { return Iterator(slots_, slots_ + capacity_); }
  Iterator end() const { return Iterator(slots_ + capacity_, slots_ + capacity_); }
  const HandleSet& All() const { return *this; }

 private:
  std::size_t Home(const T* p) const { return PointerHome(p, shift_, capacity_); }
  void Grow() {
    const T** old = slots_;
    std::size_t oldCapacity = capacity_;
    // 16 slots take the top 4 bits; each doubling one more.
    shift_ = capacity_ == 0 ? 60 : shift_ - 1;
    capacity_ = capacity_ == 0 ? 16 : capacity_ * 2;
    slots_ = new const T*[capacity_]();
    size_ = 0;
    for (std::size_t k = 0; k < oldCapacity; ++k)
      if (old[k] != nullptr) Add(old[k]);
    delete[] old;
  }

  const T** slots_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  unsigned shift_ = 64;
  // The last handle Has found; null after any removal.
  mutable const T* last_ = nullptr;
};

// A map from a nonzero key (a serial, a pointer) to a value, kept in one
// flat open-addressing table like HandleSet: the host's registries of
// objects are looked up and changed for every object the module makes, and
// a table of nodes grows slower the more objects a scene holds (each lookup
// and each rehash follows pointers spread over the heap). The zero key
// marks an empty slot and cannot be stored.
template <typename K, typename V>
class FlatMap {
 public:
  FlatMap() = default;
  FlatMap(const FlatMap&) = delete;
  FlatMap& operator=(const FlatMap&) = delete;
  ~FlatMap() { clear(); }

  // The value under `key`; null when absent.
  V* Find(K key) {
    if (size_ == 0 || key == K{}) return nullptr;
    for (std::size_t i = Home(key);; i = (i + 1) & (capacity_ - 1)) {
      if (slots_[i].key == key) return &slots_[i].value;
      if (slots_[i].key == K{}) return nullptr;
    }
  }
  bool Contains(K key) const { return const_cast<FlatMap*>(this)->Find(key) != nullptr; }
  // Stores `value` under `key`, over an earlier value.
  void Put(K key, V value) {
    if (V* at = Find(key)) {
      *at = std::move(value);
      return;
    }
    if ((size_ + 1) * 4 > capacity_ * 3) Grow();
    std::size_t i = Home(key);
    while (slots_[i].key != K{}) i = (i + 1) & (capacity_ - 1);
    slots_[i].key = key;
    slots_[i].value = std::move(value);
    ++size_;
  }
  // Takes the value under `key` out; false when absent.
  bool Take(K key, V* out) {
    if (size_ == 0 || key == K{}) return false;
    const std::size_t mask = capacity_ - 1;
    std::size_t i = Home(key);
    while (slots_[i].key != key) {
      if (slots_[i].key == K{}) return false;
      i = (i + 1) & mask;
    }
    // Moved out first and given up (or destroyed) once the table is whole
    // again: a value's destructor may look at the map.
    V taken = std::move(slots_[i].value);
    std::size_t hole = i;
    for (std::size_t j = (i + 1) & mask; slots_[j].key != K{}; j = (j + 1) & mask) {
      std::size_t home = Home(slots_[j].key);
      bool movable = hole <= j ? (home <= hole || home > j) : (home <= hole && home > j);
      if (movable) {
        slots_[hole].key = slots_[j].key;
        slots_[hole].value = std::move(slots_[j].value);
        hole = j;
      }
    }
    slots_[hole].key = K{};
    slots_[hole].value = V{};
    --size_;
    if (out != nullptr) *out = std::move(taken);
    return true;
  }
  bool erase(K key) { return Take(key, nullptr); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Drops every entry (the values go in table order).
  void clear() {
    // Detached first: a value's destructor may look at the map.
    Slot* old = slots_;
    slots_ = nullptr;
    capacity_ = 0;
    size_ = 0;
    shift_ = 64;
    delete[] old;
  }
  // Calls f(key, value) for every entry, in no particular order (the map
  // must not change meanwhile).
  template <typename F>
  void ForEach(F&& f) const {
    for (std::size_t k = 0; k < capacity_; ++k)
      if (slots_[k].key != K{}) f(slots_[k].key, slots_[k].value);
  }

 private:
  struct Slot {
    K key{};
    V value{};
  };
  std::size_t Home(K key) const {
    if constexpr (std::is_pointer_v<K>) {
      return PointerHome(key, shift_, capacity_);
    } else {
      // Integer keys (serials) are handed out one after another: runs of
      // eight consecutive keys share a home block of adjacent slots, so
      // objects made in a row touch the same cache lines; the blocks are
      // spread by Fibonacci hashing.
      const uint64_t k = static_cast<uint64_t>(key);
      const uint64_t start = ((k >> 3) * 0x9E3779B97F4A7C15ull) >> shift_;
      return static_cast<std::size_t>(start + (k & 7)) & (capacity_ - 1);
    }
  }
  void Grow() {
    Slot* old = slots_;
    std::size_t oldCapacity = capacity_;
    // 16 slots take the top 4 bits; each doubling one more.
    shift_ = capacity_ == 0 ? 60 : shift_ - 1;
    capacity_ = capacity_ == 0 ? 16 : capacity_ * 2;
    slots_ = new Slot[capacity_]();
    size_ = 0;
    for (std::size_t k = 0; k < oldCapacity; ++k) {
      if (old[k].key == K{}) continue;
      std::size_t i = Home(old[k].key);
      while (slots_[i].key != K{}) i = (i + 1) & (capacity_ - 1);
      slots_[i].key = old[k].key;
      slots_[i].value = std::move(old[k].value);
      ++size_;
    }
    delete[] old;
  }

  Slot* slots_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  unsigned shift_ = 64;
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

// A text the host hands to the module; the module frees it.
struct Text {
  std::string value;
};
ha_text MakeText(std::string value);
// The live texts (the module must have freed all of them at shutdown).
HandleSet<Text>& Texts();

// A problem the host noticed in the module's use of the interface (a bad
// handle, a double free), or a host error inside an interface call (see
// entry.h). Kept so tests can assert there were none.
void ReportMisuse(const std::string& what);
const std::vector<std::string>& Misuses();
void ClearMisuses();

}  // namespace host

#endif
