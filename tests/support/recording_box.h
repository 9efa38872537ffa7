// A message box that gives one answer to every question and keeps every box
// it was shown, for the tests of what asks or tells the user.
#pragma once

#include <string>
#include <utility>

#include "config/message_box.h"

namespace qelvor::testing_support {

class RecordingBox : public IMessageBox {
  public:
    MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                             MsgButtons buttons) override {
        static const char* const kIcons[] = {"none", "info", "question", "warning", "stop"};
        static const char* const kButtons[] = {"ok", "ok-cancel", "yes-no", "yes-no-cancel"};
        shown += caption + " (" + kIcons[int(icon)] + ", " + kButtons[int(buttons)] + "): " + text +
                 "\n";
        return buttons == MsgButtons::Ok ? MsgResult::Ok : answer;
    }
    // The boxes shown since the last call, one "caption (icon, buttons): text" line each.
    std::string Take() { return std::exchange(shown, ""); }

    std::string shown;
    MsgResult answer = MsgResult::Cancel;
};

}  // namespace qelvor::testing_support
