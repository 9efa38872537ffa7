// The configuration dialog's IPv4 address fields: the typing they accept (up
// to four numbers 0..255 with dots), the address a partly typed field stands
// for, and a paste, by key or by the context menu, that goes through the
// form: an address is filled in, a host name is looked up on a worker thread
// while the dialog keeps drawing, other text is pasted as usual or dropped.
// User-interface thread only.
#pragma once

#include <QObject>
#include <QString>
#include <string>

class QEvent;
class QLineEdit;
class QWidget;

namespace qelvor {

class CComSetForm;

class CAddressFields : public QObject {
    Q_OBJECT

  public:
    // dialog is disabled while a host name is looked up.
    CAddressFields(CComSetForm& form, QWidget* dialog);

    // Makes field an address field.
    void Adopt(QLineEdit* field);
    // The missing fields of a partly typed address are 0, as the four-field
    // address controls of other programs give it ("10.1" is 10.1.0.0).
    static std::string Complete(const QString& typed);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Paste(QLineEdit* field);
    // Resolves name on a worker thread while the dialog's events run on.
    std::string LookUpHostAddress(const std::string& name);

    CComSetForm& form_;
    QWidget* dialog_;
};

}  // namespace qelvor
