// The texts sent from the send box, newest last, at most kLimit for each
// settings set, kept across runs in a file beside the INI file, and the
// Up/Down walk through them as a shell offers it. Engine thread only.
//
// The file holds every set's texts: a line "[set name]" opens a set, a line
// "=text" is one text of it, with "\" written "\\", CR "\r" and LF "\n".
// It is rewritten whole (a few KiB, one write and a rename) after each
// send; keys in the INI file would rewrite the INI file once per text moved.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qelvor {

class CSendHistory {
  public:
    static constexpr size_t kLimit = 50;

    // The file beside the INI file: its path with ".history" added.
    static std::string FileFor(const std::string& iniPath);

    // Reads the texts of setName from the file at path (an empty path keeps
    // them in memory only). A missing or unreadable file gives none; true
    // when the file was read or does not exist.
    bool Load(const std::string& path, const std::string& setName);
    // A sent text becomes the newest, unless it is empty or equals the
    // newest; the oldest beyond kLimit go. The walk starts again. Writes the
    // file: 0, or the errno of the write that failed (the texts are kept).
    int Add(const std::string& text);
    // Up: the next older text. current is the send box's text, kept to come
    // back to when the walk starts; at the oldest the walk stays there.
    // With no texts, current itself.
    std::string Older(const std::string& current);
    // Down: the next newer text; past the newest, the text kept when the walk
    // started; when not walking, current itself.
    std::string Newer(const std::string& current);

    const std::vector<std::string>& Texts() const { return texts_; }

  private:
    int Save() const;

    std::string path_;
    std::string setName_;
    std::vector<std::string> texts_;  // oldest first
    size_t walk_ = 0;                 // texts_.size() while not walking
    std::string draft_;
};

}  // namespace qelvor
