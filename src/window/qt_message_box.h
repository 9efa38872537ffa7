// The program's message boxes drawn by Qt: the answer to an IMessageBox
// question from a modal QMessageBox. Window layer only, on the Qt thread.
#pragma once

#include <string>

#include "config/message_box.h"

class QWidget;

namespace qelvor {

// Shows text under caption with the icon and buttons the caller asks for,
// modal to parent, and returns the button pressed.
MsgResult ShowQtMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                           MsgIcon icon, MsgButtons buttons);

}  // namespace qelvor
