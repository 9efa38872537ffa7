// The quick-send buttons of the current settings set: up to 12 named texts in
// the send box's notation, and whether their row is shown. Kept in the set's
// section of the INI file as "QuickSend1" ... "QuickSend12" = name TAB text,
// and "QuickSendShown". Engine thread only.
#pragma once

#include <array>
#include <string>

#include "config/com_setting.h"

namespace qelvor {

struct QuickSend {
    std::string name;
    std::string text;  // notation text, composed like the send box's
    bool Empty() const { return name.empty() && text.empty(); }
};

class CQuickSends {
  public:
    static constexpr int kCount = 12;

    // Reads the buttons and their visibility from the current set; missing
    // keys give empty buttons and a hidden row.
    void Load(const CComSetting& settings);
    // The button at index 0..kCount-1; an empty one for any other index.
    const QuickSend& Button(int index) const;
    // Takes the button. False (nothing changes) for a bad index, a name
    // holding a TAB, or a name or text holding CR or LF, which one INI line
    // cannot keep.
    bool Set(int index, const QuickSend& button);
    // Writes button index into the current set (an empty button empties the
    // key's value); false when the file was not written.
    bool Store(const CComSetting& settings, int index) const;
    bool Shown() const { return shown_; }
    // Takes and writes the row's visibility; false when not written.
    bool SetShown(const CComSetting& settings, bool shown);

    // The INI value of a button and back. A value without a TAB is a text
    // that names its own button.
    static std::string Encode(const QuickSend& button);
    static QuickSend Decode(const std::string& value);
    static std::string KeyOf(int index) { return "QuickSend" + std::to_string(index + 1); }

  private:
    std::array<QuickSend, kCount> buttons_{};
    bool shown_ = false;
};

}  // namespace qelvor
