// Makes the configuration dialog's bound widgets: each is named after the key
// it edits and is exchanged with ComSetControls by the dialog that made it,
// so that a group built in another class still loads and saves with the rest.
// User-interface thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "config/com_set_form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace qelvor {

class IControlMaker {
  public:
    virtual QLabel* Label(const char* name, const QString& text) = 0;
    virtual QCheckBox* Check(const char* name, const QString& text,
                             bool ComSetControls::*control) = 0;
    virtual QLineEdit* Edit(const char* name, std::string ComSetControls::*control) = 0;
    // A number edit; label names it when its text is refused.
    virtual QLineEdit* NumberEdit(const char* name, const QString& label,
                                  std::string ComSetControls::*control) = 0;
    virtual QComboBox* List(const char* name, const QStringList& entries,
                            int ComSetControls::*control) = 0;

  protected:
    ~IControlMaker() = default;
};

}  // namespace qelvor
