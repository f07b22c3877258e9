// The workbench's recovery copy: the document as a scene file in a state
// folder, written (through the safe writer) after changes at most about once
// a second, so that a workbench started again after its process died gets
// the work back. One workbench of a release at a time keeps a folder's copy:
// the copy is locked while a workbench holds it (the lock goes with the
// process, however it ends).
#ifndef HOST_SERVE_RECOVERY_H
#define HOST_SERVE_RECOVERY_H

#include <chrono>
#include <functional>
#include <string>

namespace host {

class Recovery {
 public:
  Recovery() = default;
  ~Recovery();  // lets the lock go
  Recovery(const Recovery&) = delete;
  Recovery& operator=(const Recovery&) = delete;

  // The user's state folder for the workbench: $XDG_STATE_HOME/tolvane, or
  // ~/.local/state/tolvane; empty when neither can be told.
  static std::string DefaultFolder();

  // Takes the copy of `release` in `folder` (made when missing). False,
  // with the reason in `note`, when the folder cannot be made or another
  // workbench holds the copy: then nothing is kept.
  bool Open(const std::string& folder, int release, std::string* note);
  bool Active() const { return lock_ >= 0; }
  const std::string& SceneFile() const { return scene_; }
  // Whether a copy was left to restore, and when it was written.
  bool HasCopy() const;
  std::string SavedWhen() const;

  // The document changed since the copy was written.
  void Changed() { changed_ = true; }
  // Writes the copy with `save` (which writes a scene file to the path it is
  // given) when the document changed and a second has passed since the last
  // copy, or at once when `now`. False with the reason when the save failed
  // (the copy is tried again after the next change).
  using Saver = std::function<bool(const std::string& path, std::string* error)>;
  bool Keep(const Saver& save, bool now, std::string* error);

 private:
  int lock_ = -1;
  std::string scene_, meta_;
  bool changed_ = false;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace host

#endif
