// The name under which another program finds a pty that this program holds: a
// symbolic link to its /dev/pts path, placed so that it never overwrites what
// is not ours. Not thread safe; one owner thread.
#pragma once

#include <string>

namespace StreamPort {

class CPtyLink {
  public:
    CPtyLink() = default;
    CPtyLink(const CPtyLink&) = delete;
    CPtyLink& operator=(const CPtyLink&) = delete;
    ~CPtyLink() { Remove(); }

    // $XDG_RUNTIME_DIR/qelvor/ttyQelvor0, or /tmp/qelvor-UID/ttyQelvor0
    // when XDG_RUNTIME_DIR is unset or empty.
    static std::string DefaultPath();

    // Points linkPath (empty: DefaultPath, whose folder is made, private,
    // when missing) at target. A link to a /dev/pts entry that no longer
    // exists is the leftover of an ended run and is replaced; a link to a
    // live pty or any other file is refused and left untouched. Empty on
    // success, else why it failed, naming the path.
    std::string Create(const std::string& linkPath, const std::string& target);
    // Removes the link if it still points at the target it was made for.
    void Remove();
    // The link made by the last successful Create; empty when none is held.
    const std::string& Path() const { return path_; }

  private:
    enum class NameState { Free, Stale, Taken };
    static NameState CheckExisting(const std::string& linkPath, std::string& why);
    std::string Replace(const std::string& linkPath, const std::string& target) const;

    std::string path_;
    std::string target_;
};

}  // namespace StreamPort
