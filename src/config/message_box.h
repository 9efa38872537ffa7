// Questions and reports shown to the user: the window answers them with a
// message box, the headless runner with text, tests with a recorder.
#pragma once

#include <string>

namespace qelvor {

enum class MsgIcon { None, Information, Question, Exclamation, Stop };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

class IMessageBox {
  public:
    virtual ~IMessageBox() = default;
    virtual MsgResult ShowMessageBox(const std::string& text, const std::string& caption,
                                     MsgIcon icon, MsgButtons buttons) = 0;
};

}  // namespace qelvor
