#include "window/com_set_dlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <QToolButton>
#include <QVBoxLayout>
#include "ports/pty_link.h"
#include "window/address_fields.h"
#include "window/data_groups.h"
#include "window/local_text.h"
#include "window/protocol_group.h"
#include "window/qt_message_box.h"
#include "window/refusal_text.h"
#include "window/serial_device_list.h"
#include "window/tap_rows.h"

namespace qelvor {

namespace {

QStringList LocalList(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts)
        list << LocalText(text);
    return list;
}

// Fills list with entries unless it holds them already, so that an unchanged
// list keeps its popup and its edit text.
void ShowEntries(QComboBox* list, const QStringList& entries) {
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->itemText(i);
    if (shown == entries) return;
    list->clear();
    list->addItems(entries);
}

}  // namespace

CComSetDlg::CComSetDlg(CComSetting& settings, bool portOpen, QWidget* parent,
                       std::function<bool()> closePort)
    : QDialog(parent), form_(settings, portOpen, *this), closePort_(std::move(closePort)) {
    setObjectName(QStringLiteral("ComSetDlg"));
    addresses_ = new CAddressFields(form_, this);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(BuildPortGroup());
    left->addWidget(CDataGroups::BuildSendGroup(*this));
    left->addWidget(CDataGroups::BuildSplitGroup(*this));
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildOptions());
    protocol_ = new CProtocolGroup(*this);
    right->addWidget(protocol_);
    right->addStretch(1);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* whole = new QVBoxLayout(this);
    whole->addLayout(columns);
    whole->addWidget(BuildSeriesRow());
    setWindowTitle(LocalText(form_.Title(LocalBytes(tr("System Configure")))));
    devices_ = new CSerialDeviceList(form_.ConfiguredDevicePaths(), this);
    ConnectCommands();
    RefreshDevices();
    form_.Open();
    WriteWidgets();
    // A first start asks for a device: the path box takes the typing at once.
    if (form_.IsFirstStart() && !comName_->isHidden()) comName_->setFocus();
}

CComSetDlg::~CComSetDlg() = default;

// --- building ---

QGroupBox* CComSetDlg::BuildPortGroup() {
    auto* group = new QGroupBox(tr("Communcation Setup"));
    auto* column = new QVBoxLayout(group);
    column->addWidget(BuildPortOpenLine());
    // The kinds in a grid of their own: the virtual port's radio starts a
    // second row, as five in one would widen the dialog.
    auto* kinds = new QGridLayout;
    column->addLayout(kinds);
    auto* grid = new QGridLayout;
    column->addLayout(grid);
    workModes_ = new QButtonGroup(this);
    const std::tuple<const char*, QString, int> radios[] = {
        {"TcpServer", tr("TCP-Server"), kWorkModeTcpServer},
        {"TcpClient", tr("TCP-Client"), kWorkModeTcpClient},
        {"Udp", tr("UDP"), kWorkModeUdp},
        {"SerialPort", tr("SerialPort"), kWorkModeSerial},
        {"VirtualPort", tr("Virtual serial port"), kWorkModePty},
        {"TapMode", tr("Tap (A ↔ B)"), kWorkModeTap}};
    int at = 0;
    for (const auto& [name, text, mode] : radios) {
        auto* radio = new QRadioButton(text);
        radio->setObjectName(QLatin1String(name));
        workModes_->addButton(radio, mode);
        kinds->addWidget(radio, at / 4, at % 4);
        portWidgets_.push_back(radio);
        ++at;
    }
    BuildSerialRows(grid);
    BuildNetworkRows(grid);
    BuildPtyRows(grid);
    // A tap's rows take the device rows' place; the line's rows below stay.
    tapWidgets_ = CTapRows::Build(*this, grid, 1);
    portWidgets_.insert(portWidgets_.end(), tapWidgets_.begin(), tapWidgets_.end());
    return group;
}

// Shown while the port is open: why the port's controls take no edits, and
// the way to change that without leaving the dialog.
QWidget* CComSetDlg::BuildPortOpenLine() {
    portOpenLine_ = new QWidget;
    portOpenLine_->setObjectName(QStringLiteral("PortOpenLine"));
    auto* line = new QHBoxLayout(portOpenLine_);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(Label("PortOpenNote", tr("Close the port to change it")), 1);
    QPushButton* close = Button("ClosePort", tr("Close port"));
    close->setVisible(static_cast<bool>(closePort_));
    connect(close, &QPushButton::clicked, this, [this] { OnClosePort(); });
    line->addWidget(close);
    return portOpenLine_;
}

// The devices found come first in the port list; the path box below it
// takes any device, with the device names of /dev completed.
void CComSetDlg::BuildDeviceRows(QGridLayout* grid) {
    QLabel* label = Label("ComPortLabel", tr("COM Port"));
    comPort_ = new QComboBox;
    comPort_->setObjectName(QStringLiteral("ComPort"));
    comPort_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    comPort_->setMinimumContentsLength(16);
    label->setBuddy(comPort_);
    grid->addWidget(label, 1, 0);
    grid->addWidget(comPort_, 1, 1, 1, 3);
    comNameLabel_ = Label("ComNameLabel", tr("Device path"));
    comName_ = Edit("ComName", &ComSetControls::ComName);
    comNameLabel_->setBuddy(comName_);
    auto* completer =
        new QCompleter(new QStringListModel(CSerialDeviceList::PathCompletions(), this), comName_);
    completer->setFilterMode(Qt::MatchContains);
    comName_->setCompleter(completer);
    grid->addWidget(comNameLabel_, 2, 0);
    grid->addWidget(comName_, 2, 1, 1, 3);
    deviceWidgets_ = {label, comPort_};
    portWidgets_.push_back(comPort_);
}

void CComSetDlg::BuildSerialRows(QGridLayout* grid) {
    const QStringList baudRates{"110",   "300",   "1200",   "2400",   "4800",   "9600",  "19200",
                                "38400", "57600", "115200", "230400", "460800", "921600"};
    const struct {
        const char* name;
        QString label;
        QStringList entries;
        int ComSetControls::*control;
        int row, column;
    } rows[] = {
        {"BaudRate", tr("BaudRate"), baudRates, &ComSetControls::BaudRate, 3, 0},
        {"ByteSize", tr("ByteSize"), {"8", "7", "6", "5", "4"}, &ComSetControls::ByteSize, 3, 2},
        {"Parity",
         tr("Parity"),
         {tr("None", "parity"), tr("Odd"), tr("Even"), tr("Mark"), tr("Space")},
         &ComSetControls::Parity,
         4,
         0},
        {"StopBit", tr("StopBits"), {"1", "1.5", "2"}, &ComSetControls::StopBit, 4, 2},
        {"FlowCtrl",
         tr("FlowCtrl"),
         {tr("None", "flow control"), tr("Xon / Xoff"), tr("Hardware")},
         &ComSetControls::FlowCtrl,
         5,
         0},
    };
    for (const auto& row : rows) {
        QLabel* label = Label((std::string(row.name) + "Label").c_str(), row.label);
        QComboBox* list = List(row.name, row.entries, row.control);
        grid->addWidget(label, row.row, row.column);
        grid->addWidget(list, row.row, row.column + 1);
        serialWidgets_.insert(serialWidgets_.end(), {label, list});
        portWidgets_.push_back(list);
    }
    BuildDeviceRows(grid);
    BuildLineRows(grid);
}

// The levels of DTR and RTS at open belong to the serial rows; reopening a
// lost link is offered for a serial device and a TCP client.
void CComSetDlg::BuildLineRows(QGridLayout* grid) {
    QCheckBox* dtr = Check("DtrOnOpen", tr("DTR on at open"), &ComSetControls::DtrOnOpen);
    QCheckBox* rts = Check("RtsOnOpen", tr("RTS on at open"), &ComSetControls::RtsOnOpen);
    grid->addWidget(dtr, 6, 0, 1, 2);
    grid->addWidget(rts, 6, 2, 1, 2);
    serialWidgets_.insert(serialWidgets_.end(), {dtr, rts});
    portWidgets_.insert(portWidgets_.end(), {dtr, rts});
    autoReconnect_ = Check("AutoReconnect", tr("Reconnect when the link is lost (every 2 s)"),
                           &ComSetControls::AutoReconnect);
    grid->addWidget(autoReconnect_, 7, 0, 1, 4);
}

// The TCP row and the UDP rows lie on the serial rows: only one port kind's
// controls show at a time.
void CComSetDlg::BuildNetworkRows(QGridLayout* grid) {
    QPushButton* clipboard = Button("IPAddress", tr("IP Address"));
    QLineEdit* server = AddressEdit("SvrIPAddr", &ComSetControls::ServerAddress);
    QLabel* portLabel = Label("IPPortLabel", tr("IP Port:"));
    QLineEdit* port = NumberEdit("IPPort", portLabel->text(), &ComSetControls::IPPort);
    grid->addWidget(clipboard, 1, 0);
    grid->addWidget(server, 1, 1);
    grid->addWidget(portLabel, 1, 2);
    grid->addWidget(port, 1, 3);
    tcpWidgets_ = {clipboard, server, portLabel, port};
    portWidgets_.insert(portWidgets_.end(), {clipboard, server, port});

    QLabel* remoteLabel = Label("UDPRemotePortLabel", tr("RemotePort"));
    QLabel* localLabel = Label("UDPLocalPortLabel", tr("LocalPort"));
    QLabel* ipLabel = Label("RemoteIPAddrLabel", tr("Remote IP"));
    QLineEdit* remote =
        NumberEdit("UDPRemotePort", remoteLabel->text(), &ComSetControls::UDPRemotePort);
    QLineEdit* local =
        NumberEdit("UDPLocalPort", localLabel->text(), &ComSetControls::UDPLocalPort);
    QLineEdit* remoteIp = AddressEdit("RemoteIPAddr", &ComSetControls::RemoteAddress);
    grid->addWidget(remoteLabel, 1, 0);
    grid->addWidget(remote, 1, 1);
    grid->addWidget(localLabel, 1, 2);
    grid->addWidget(local, 1, 3);
    grid->addWidget(ipLabel, 3, 0);
    grid->addWidget(remoteIp, 3, 1);
    udpWidgets_ = {remoteLabel, localLabel, ipLabel, remote, local, remoteIp};
}

// The virtual port's row: the link another program opens; left empty, the
// default link, shown greyed, is made.
void CComSetDlg::BuildPtyRows(QGridLayout* grid) {
    QLabel* label = Label("PtyLinkLabel", tr("Link name"));
    QLineEdit* link = Edit("PtyLink", &ComSetControls::PtyLink);
    link->setPlaceholderText(LocalText(StreamPort::CPtyLink::DefaultPath()));
    label->setBuddy(link);
    grid->addWidget(label, 1, 0);
    grid->addWidget(link, 1, 1, 1, 3);
    ptyWidgets_ = {label, link};
    portWidgets_.push_back(link);
}

QWidget* CComSetDlg::BuildOptions() {
    auto* options = new QWidget;
    auto* grid = new QGridLayout(options);
    grid->setContentsMargins(0, 0, 0, 0);
    const QStringList fileForms{tr("0 Raw file"), tr("1 Fmt file"), tr("2 Hex file")};
    const QStringList styles{tr("0 Raw Style"), tr("1 Fmt Style"), tr("2 Hex Style")};
    const QStringList encodings{tr("0.Not convert"), tr("1.CP_ACP to UTF-8"),
                                tr("2.CP_ACP to UNICODE")};
    grid->addWidget(Label("SendFileFMTLabel", tr("Sendfile Fmt")), 0, 0);
    grid->addWidget(List("SendFileFMT", fileForms, &ComSetControls::SendFileFMT), 0, 1, 1, 3);
    grid->addWidget(Label("ShowDataFmtLabel", tr("View Style")), 1, 0);
    grid->addWidget(List("ShowDataFmt", styles, &ComSetControls::ShowDataFmt), 1, 1, 1, 3);
    grid->addWidget(Label("SenDataEncodeCovLabel", tr("Encode send data")), 2, 0);
    grid->addWidget(List("SenDataEncodeCov", encodings, &ComSetControls::SenDataEncodeCov), 2, 1, 1,
                    3);
    BuildTimeRows(grid, 3);
    const std::tuple<const char*, QString, bool ComSetControls::*> checks[] = {
        {"SupportStress", tr("Stress Test"), &ComSetControls::SupportStress},
        {"SaveEventTimetoFmtFile", tr("save eventtime"), &ComSetControls::SaveEventTimetoFmtFile},
        {"AutoRestart", tr("auto restart"), &ComSetControls::AutoRestart},
        {"SaveDatatoDesktop", tr("save data to desktop"), &ComSetControls::SaveDatatoDesktop},
        {"SendAfterLoadFile", tr("Send first data after load file"),
         &ComSetControls::SendAfterLoadFile},
        {"TitleShowPortType", tr("Show port type"), &ComSetControls::TitleShowPortType},
        {"UsedResponseFile", tr("response file"), &ComSetControls::UsedResponseFile},
        {"NoSendFileBOM", tr("delete BOM in file"), &ComSetControls::NoSendFileBOM},
    };
    int at = 0;
    for (const auto& [name, text, control] : checks) {
        grid->addWidget(Check(name, text, control), 7 + at / 2, (at % 2) * 2, 1, 2);
        ++at;
    }
    return options;
}

void CComSetDlg::BuildTimeRows(QGridLayout* grid, int row) {
    QLabel* split = Label("InterframeDelayLabel", tr("timeout for split(ms)"));
    grid->addWidget(split, row, 0);
    grid->addWidget(NumberEdit("InterframeDelay", split->text(), &ComSetControls::InterframeDelay),
                    row, 1);
    QLabel* autoSend = Label("AutoSendElapseLabel", tr("auto-send timer"));
    grid->addWidget(autoSend, row + 1, 0);
    auto* spinRow = new QHBoxLayout;
    spinRow->addWidget(
        NumberEdit("AutoSendElapse", autoSend->text(), &ComSetControls::AutoSendElapse));
    for (const auto& [name, arrow, step] : {std::tuple("AutoSendUp", Qt::UpArrow, 1),
                                            std::tuple("AutoSendDown", Qt::DownArrow, -1)}) {
        auto* button = new QToolButton;
        button->setObjectName(QLatin1String(name));
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        connect(button, &QToolButton::clicked, this,
                [this, delta = step] { Run([&] { form_.StepAutoSend(delta); }); });
        spinRow->addWidget(button);
    }
    grid->addLayout(spinRow, row + 1, 1);
    grid->addWidget(Label("AutoSendUnit", tr("*0.01s")), row + 1, 2);
    grid->addWidget(Label("ReplaceLabel", tr("char replace")), row + 2, 0);
    auto* replaceRow = new QHBoxLayout;
    for (const auto& [name, control] : {std::pair("Replace_Old", &ComSetControls::ReplaceOld),
                                        std::pair("Replace_New", &ComSetControls::ReplaceNew)}) {
        QLineEdit* edit = Edit(name, control);
        edit->setMaximumWidth(40);
        replaceRow->addWidget(edit);
        if (replaceRow->count() == 1) replaceRow->addWidget(Label("ReplaceArrow", tr("=>")));
    }
    replaceRow->addStretch(1);
    grid->addLayout(replaceRow, row + 2, 1, 1, 2);
    QCheckBox* autoSave =
        Check("AutoSaveLog", tr("auto-savelog(hr)"), &ComSetControls::AutoSaveLog);
    grid->addWidget(autoSave, row + 3, 0);
    grid->addWidget(
        NumberEdit("BackupLogTimeCount", autoSave->text(), &ComSetControls::BackupLogTimeCount),
        row + 3, 1);
}

QWidget* CComSetDlg::BuildSeriesRow() {
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(Label("SeriesLabel", tr("Series")));
    series_ = new QComboBox;
    series_->setObjectName(QStringLiteral("Series"));
    series_->setEditable(true);
    series_->setInsertPolicy(QComboBox::NoInsert);
    series_->setMinimumWidth(120);
    line->addWidget(series_, 1);
    line->addWidget(Button("SaveSeries", tr("Save Series")));
    line->addWidget(Button("DelSeries", tr("Del Series")));
    line->addWidget(Button("Reset", tr("Reset")));
    line->addWidget(Button("Cancle", tr("Cancle")));
    QPushButton* save = Button("Save", tr("Save"));
    save->setDefault(true);
    line->addWidget(save);
    return row;
}

QLabel* CComSetDlg::Label(const char* name, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QCheckBox* CComSetDlg::Check(const char* name, const QString& text, bool ComSetControls::*control) {
    auto* check = new QCheckBox(text);
    check->setObjectName(QLatin1String(name));
    checks_.emplace_back(check, control);
    return check;
}

QLineEdit* CComSetDlg::Edit(const char* name, std::string ComSetControls::*control) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QLatin1String(name));
    edits_.emplace_back(edit, control);
    return edit;
}

QLineEdit* CComSetDlg::NumberEdit(const char* name, const QString& label,
                                  std::string ComSetControls::*control) {
    QLineEdit* edit = Edit(name, control);
    numberLabels_[name] = label;
    edit->setMaximumWidth(90);
    return edit;
}

QLineEdit* CComSetDlg::AddressEdit(const char* name, std::string ComSetControls::*control) {
    QLineEdit* edit = Edit(name, control);
    addresses_->Adopt(edit);
    return edit;
}

QComboBox* CComSetDlg::List(const char* name, const QStringList& entries,
                            int ComSetControls::*control) {
    auto* list = new QComboBox;
    list->setObjectName(QLatin1String(name));
    list->addItems(entries);
    lists_.emplace_back(list, control);
    return list;
}

QPushButton* CComSetDlg::Button(const char* name, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

void CComSetDlg::ConnectCommands() {
    const auto button = [this](const char* name) {
        return findChild<QPushButton*>(QLatin1String(name));
    };
    connect(button("Save"), &QPushButton::clicked, this, [this] { OnSave(); });
    connect(button("SaveSeries"), &QPushButton::clicked, this, [this] { OnSaveSeries(); });
    connect(button("DelSeries"), &QPushButton::clicked, this,
            [this] { Run([this] { form_.DelSeries(); }); });
    connect(button("Reset"), &QPushButton::clicked, this,
            [this] { Run([this] { form_.Reset(); }); });
    connect(button("Cancle"), &QPushButton::clicked, this, &QDialog::reject);
    connect(button("IPAddress"), &QPushButton::clicked, this, [this] {
        const std::string text = LocalBytes(QApplication::clipboard()->text());
        Run([&] { form_.TakeClipboardAddress(text); });
    });
    connect(workModes_, &QButtonGroup::idClicked, this,
            [this](int mode) { Run([&] { form_.ChooseWorkMode(mode); }); });
    connect(comPort_, &QComboBox::activated, this,
            [this](int index) { Run([&] { form_.ChooseComPort(index); }); });
    connect(devices_, &CSerialDeviceList::changed, this, [this] { RefreshDevices(); });
    connect(series_, &QComboBox::activated, this,
            [this](int index) { Run([&] { form_.ChooseSeries(index); }); });
    connect(findChild<QCheckBox*>(QStringLiteral("HandShake")), &QCheckBox::clicked, this,
            [this] { Run([this] { form_.ToggleResponse(); }); });
    connect(findChild<QCheckBox*>(QStringLiteral("HexSendData")), &QCheckBox::clicked, this,
            [this] { Run([this] { form_.ToggleHexSend(); }); });
    connect(findChild<QLineEdit*>(QStringLiteral("SplitStrs")), &QLineEdit::editingFinished, this,
            [this] { Run([this] { form_.SplitEdited(); }); });
}

// --- running ---

template <class Command>
void CComSetDlg::Run(Command command) {
    ReadWidgets();
    command();
    WriteWidgets();
}

void CComSetDlg::ReadWidgets() {
    ComSetControls& c = form_.Controls();
    for (const auto& [check, control] : checks_)
        c.*control = check->isChecked();
    for (const auto& [edit, control] : edits_)
        c.*control = LocalBytes(edit->text());
    c.ServerAddress = CAddressFields::Complete(findChild<QLineEdit*>("SvrIPAddr")->text());
    c.RemoteAddress = CAddressFields::Complete(findChild<QLineEdit*>("RemoteIPAddr")->text());
    for (const auto& [list, control] : lists_)
        c.*control = list->currentIndex();
    c.ComPort = comPort_->currentIndex();
    c.WorkMode = workModes_->checkedId();
    c.SeriesIndex = series_->currentIndex();
    c.SeriesText = LocalBytes(series_->currentText());
}

void CComSetDlg::WriteWidgets() {
    const ComSetControls& c = form_.Controls();
    const QSignalBlocker blockSeries(series_);
    for (const auto& [check, control] : checks_)
        check->setChecked(c.*control);
    for (const auto& [edit, control] : edits_) {
        edit->setText(LocalText(c.*control));
        // A long list of split strings shows its beginning.
        edit->setCursorPosition(0);
    }
    for (const auto& [list, control] : lists_) {
        const QSignalBlocker block(list);
        list->setCurrentIndex(c.*control);
    }
    WriteComPorts();
    if (QAbstractButton* radio = workModes_->button(c.WorkMode)) {
        radio->setChecked(true);
    } else if (QAbstractButton* checked = workModes_->checkedButton()) {
        // A mode no radio stands for shows none of them checked.
        workModes_->setExclusive(false);
        checked->setChecked(false);
        workModes_->setExclusive(true);
    }
    WriteSeries();
    WriteStates();
}

void CComSetDlg::WriteSeries() {
    const ComSetControls& c = form_.Controls();
    ShowEntries(series_, LocalList(c.SeriesEntries));
    series_->setCurrentIndex(c.SeriesIndex);
    series_->setEditText(LocalText(c.SeriesText));
}

void CComSetDlg::WriteStates() {
    const ComSetControls& c = form_.Controls();
    for (QWidget* widget : tcpWidgets_)
        widget->setVisible(c.TcpShown);
    for (QWidget* widget : serialWidgets_)
        widget->setVisible(c.LineShown);
    for (QWidget* widget : deviceWidgets_)
        widget->setVisible(c.SerialShown);
    for (QWidget* widget : tapWidgets_)
        widget->setVisible(c.TapShown);
    CTapRows::ShowHints(*this);
    for (QWidget* widget : udpWidgets_)
        widget->setVisible(c.UdpShown);
    for (QWidget* widget : ptyWidgets_)
        widget->setVisible(c.PtyShown);
    // The device name belongs to the serial rows, where the UDP fields take
    // its place in UDP mode.
    comName_->setVisible(c.ComNameShown && c.SerialShown);
    comNameLabel_->setVisible(comName_->isVisibleTo(this));
    autoReconnect_->setVisible(c.AutoReconnectShown);
    protocol_->Refresh();
    WritePortLock();
    findChild<QLineEdit*>("RespondStrs")->setReadOnly(c.RespondReadOnly);
    findChild<QLineEdit*>("Preamble")->setReadOnly(c.PreambleReadOnly);
    findChild<QLineEdit*>("InterframeDelay")->setReadOnly(c.InterframeReadOnly);
}

void CComSetDlg::OnSave() {
    ReadWidgets();
    if (Refused(form_.Save())) return;
    accept();
}

void CComSetDlg::OnSaveSeries() {
    ReadWidgets();
    const std::optional<NumberRefusal> refusal = form_.SaveSeries();
    WriteWidgets();
    Refused(refusal);
}

bool CComSetDlg::Refused(const std::optional<NumberRefusal>& refusal) {
    if (!refusal) return false;
    // A number edit is named as it was made; any other edit by its label.
    QString label = numberLabels_[refusal->key];
    auto* named = findChild<QLabel*>(LocalText(refusal->key + "Label"));
    if (label.isEmpty() && named != nullptr) label = named->text();
    const QString text = CRefusalText::Of(*refusal, label);
    QMessageBox::warning(this, windowTitle(), text);
    if (auto* edit = findChild<QLineEdit*>(LocalText(refusal->key))) {
        edit->setFocus();
        edit->selectAll();
    }
    return true;
}

MsgResult CComSetDlg::ShowMessageBox(const std::string& text, const std::string& caption,
                                     MsgIcon icon, MsgButtons buttons) {
    // The form names its boxes after the dialog, in English.
    return ShowQtMessageBox(this, text, LocalBytes(tr(caption.c_str())), icon, buttons);
}

void CComSetDlg::WriteComPorts() {
    const ComSetControls& c = form_.Controls();
    const QSignalBlocker block(comPort_);
    ShowEntries(comPort_, LocalList(c.ComPortEntries));
    comPort_->setCurrentIndex(c.ComPort);
}

// A disabled control says why it takes no edits.
void CComSetDlg::WritePortLock() {
    const bool enabled = form_.Controls().PortControlsEnabled;
    const QString why = enabled ? QString() : tr("Close the port to change it");
    std::vector<QWidget*> widgets = portWidgets_;
    widgets.push_back(comName_);
    for (QWidget* widget : widgets) {
        widget->setEnabled(enabled);
        widget->setToolTip(why);
    }
    portOpenLine_->setVisible(!enabled);
}

void CComSetDlg::OnClosePort() {
    if (closePort_ && closePort_()) Run([this] { form_.PortClosed(); });
}

void CComSetDlg::RefreshDevices() {
    Run([this] { form_.SetDevices(devices_->Find()); });
    auto* model = static_cast<QStringListModel*>(comName_->completer()->model());
    model->setStringList(CSerialDeviceList::PathCompletions());
}

}  // namespace qelvor
