// The configuration dialog "System Configure": the widgets of every setting
// and of the settings sets, drawn over CComSetForm, which holds what the
// dialog does. Each widget's objectName is the key it edits ("BaudRate",
// "SvrIPAddr", "Replace_Old") or the command it runs ("Save", "DelSeries").
// User-interface thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/com_set_form.h"
#include "window/control_maker.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qelvor {

class CAddressFields;
class CProtocolGroup;
class CSerialDeviceList;

class CComSetDlg : public QDialog, public IMessageBox, private IControlMaker {
    Q_OBJECT

  public:
    // settings is the program's record: Save copies the edits over it.
    // While portOpen, the controls of the port itself are disabled, and a
    // line says why; its button runs closePort, which tells whether the port
    // is closed now.
    CComSetDlg(CComSetting& settings, bool portOpen, QWidget* parent = nullptr,
               std::function<bool()> closePort = {});
    ~CComSetDlg() override;

    MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                             MsgButtons buttons) override;

  private:
    // --- building ---
    QGroupBox* BuildPortGroup();
    QWidget* BuildPortOpenLine();
    void BuildDeviceRows(QGridLayout* grid);
    void BuildSerialRows(QGridLayout* grid);
    void BuildNetworkRows(QGridLayout* grid);
    void BuildPtyRows(QGridLayout* grid);
    void BuildLineRows(QGridLayout* grid);
    QWidget* BuildOptions();
    void BuildTimeRows(QGridLayout* grid, int row);
    QWidget* BuildSeriesRow();
    QLabel* Label(const char* name, const QString& text) override;
    QCheckBox* Check(const char* name, const QString& text, bool ComSetControls::*control) override;
    QLineEdit* Edit(const char* name, std::string ComSetControls::*control) override;
    QLineEdit* NumberEdit(const char* name, const QString& label,
                          std::string ComSetControls::*control) override;
    QLineEdit* AddressEdit(const char* name, std::string ComSetControls::*control);
    QComboBox* List(const char* name, const QStringList& entries,
                    int ComSetControls::*control) override;
    QPushButton* Button(const char* name, const QString& text);
    void ConnectCommands();

    // --- running ---
    // Widgets into the form, the command, the form back into the widgets.
    template <class Command>
    void Run(Command command);
    void ReadWidgets();
    void WriteWidgets();
    void WriteSeries();
    void WriteStates();
    void OnSave();
    void OnSaveSeries();
    // Reports a refused number edit and puts the cursor into it.
    bool Refused(const std::optional<NumberRefusal>& refusal);
    void WriteComPorts();
    void WritePortLock();
    void OnClosePort();
    void RefreshDevices();

    CComSetForm form_;
    CAddressFields* addresses_ = nullptr;
    std::vector<std::pair<QCheckBox*, bool ComSetControls::*>> checks_;
    std::vector<std::pair<QLineEdit*, std::string ComSetControls::*>> edits_;
    std::vector<std::pair<QComboBox*, int ComSetControls::*>> lists_;
    std::map<std::string, QString> numberLabels_;
    QButtonGroup* workModes_ = nullptr;
    QComboBox* comPort_ = nullptr;
    QLineEdit* comName_ = nullptr;
    QLabel* comNameLabel_ = nullptr;
    QWidget* portOpenLine_ = nullptr;
    CSerialDeviceList* devices_ = nullptr;
    std::function<bool()> closePort_;
    QComboBox* series_ = nullptr;
    QCheckBox* autoReconnect_ = nullptr;
    CProtocolGroup* protocol_ = nullptr;
    std::vector<QWidget*> tcpWidgets_, serialWidgets_, udpWidgets_, ptyWidgets_, portWidgets_;
    // The serial port's device rows, and a tap's rows of its endpoints.
    std::vector<QWidget*> deviceWidgets_, tapWidgets_;
};

}  // namespace qelvor
