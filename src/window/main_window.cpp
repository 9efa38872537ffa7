#include "window/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "config/ui_language.h"
#include "mainwnd/new_instance.h"
#include "window/about_dialog.h"
#include "window/client_area.h"
#include "window/com_set_dlg.h"
#include "window/csv_export_runner.h"
#include "window/data_detail_dlg.h"
#include "window/data_list_model.h"
#include "window/data_list_pane.h"
#include "window/dialog_units.h"
#include "window/engine_timers.h"
#include "window/file_commands.h"
#include "window/find_bar.h"
#include "window/highlight_rules_dlg.h"
#include "window/key_filter.h"
#include "window/line_end_selector.h"
#include "window/local_text.h"
#include "window/menu_bar.h"
#include "window/modem_lines_band.h"
#include "window/popup_menus.h"
#include "window/qt_message_box.h"
#include "window/quick_send_row.h"
#include "window/serial_port_list_dlg.h"
#include "window/session_commands.h"
#include "window/statistics_panel.h"
#include "window/status_bar.h"
#include "window/tap_side_selector.h"
#include "window/theme.h"
#include "window/traffic_list_options.h"
#include "window/traffic_list_pane.h"
#include "window/traffic_list_view.h"
#include "window/traffic_table_model.h"
#include "window/trigger_rules_dlg.h"
#include "window/window_keyboard.h"
#include "window/window_menus.h"
#include "window/window_placement.h"

namespace qelvor {

namespace {

// How soon a close that met a running command tries again.
constexpr int kRetryMs = 10;

}  // namespace

CMainWindow::CMainWindow(CComSetting& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    setObjectName(QStringLiteral("MainWindow"));
    QFont unitsFont = font();
    unitsFont.setPixelSize(kDialogFontPixels);
    setFont(unitsFont);
    engine_ = std::make_unique<CMainEngine>(settings_, *this);
    timers_ = new CEngineTimers(*engine_, this);
    // The engine closes the port for "-n"; the configuration dialog follows.
    connect(timers_, &CEngineTimers::startupSetupRan, this, &CMainWindow::RunSetPortDialog);
    files_ = std::make_unique<CFileCommands>(*engine_, settings_, this);
    client_ = new CClientArea(this);
    client_->resize(Pixels(QRect(0, 0, kDialogWidth, kDialogHeight)).size());
    BuildControls();
    ConnectButtons();
    ConnectSendControls();
    ConnectMenus();
    ApplyDataListShown(settings_.ShowDataListWnd != 0);
    BuildAnchors();
    // The window can grow, never shrink below the size it opened at.
    client_->Start(trafficList_, statusBar_);
    BuildBands();
    setAcceptDrops(true);
    keys_->InstallOn(this);
    // After the key filter, which would keep Escape from the bar's menus.
    menus_->BuildMenuBar();
    resize(client_->SmallestSize() + QSize(0, menus_->MenuBarHeight()));
    CWindowKeyboard::Arrange(this);
    SetMenuBarShown(CWindowPlacement::Restore(*this, trafficList_->Header()));
    ShowSettings();
    setWindowTitle(LocalText(engine_->State().title));
}

CMainWindow::~CMainWindow() {
    timers_->StopAll();
    if (!closed_) engine_->OnClosePort();
    // The views go before the engine whose store and list their models read.
    delete trafficList_;
    delete dataList_;
    delete trafficModel_;
    delete dataModel_;
    engine_.reset();
}

void CMainWindow::Start(const CStartupArgs& args, CLogWriter* log) {
    if (log != nullptr) engine_->AttachLogWriter(log);
    engine_->Startup(args);
    ShowStatus();
    ShowButtons();
    if (args.sessionPath.empty()) sessions_->OfferLeftSessions();
}

// --- building ---

QPushButton* CMainWindow::AddButton(const char* name, const char* label, QRect dialogUnits) {
    auto* button = new QPushButton(tr(label), client_);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setGeometry(Pixels(dialogUnits));
    return button;
}

QCheckBox* CMainWindow::AddCheckBox(const char* name, const char* label, QRect dialogUnits) {
    auto* box = new QCheckBox(tr(label), client_);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(Pixels(dialogUnits));
    return box;
}

void CMainWindow::BuildControls() {
    bufferLabel_ = new QLabel(tr("Buffer"), client_);
    bufferLabel_->setObjectName(QStringLiteral("BufferLabel"));
    bufferLabel_->setGeometry(Pixels(QRect(5, 3, 25, 8)));
    bufferLabel_->installEventFilter(this);
    bufferBox_ = new QLineEdit(client_);
    bufferBox_->setObjectName(QStringLiteral("BufferBox"));
    bufferBox_->setReadOnly(true);
    bufferBox_->setAcceptDrops(false);
    bufferBox_->setGeometry(Pixels(QRect(32, 1, 175, 14)));
    showDataList_ = AddButton("ShowDataList", ">", QRect(209, 1, 7, 14));
    BuildTrafficList();
    BuildDataList();
    sendBox_ = new QLineEdit(client_);
    sendBox_->setObjectName(QStringLiteral("SendBox"));
    sendBox_->setAcceptDrops(false);
    sendBox_->setGeometry(Pixels(QRect(5, 258, 232, 14)));
    lineEnd_ = new CLineEndSelector(*engine_, client_);
    lineEnd_->setGeometry(Pixels(QRect(239, 258, 62, 14)));
    tapSide_ = new CTapSideSelector(*engine_, *sendBox_, client_->Anchors(), client_);
    controls_[kIdSendData] = AddButton("SendData", QT_TR_NOOP("SendData"), QRect(305, 258, 53, 14));
    controls_[kIdCheckSum] = AddButton("CheckSum", QT_TR_NOOP("CheckSum"), QRect(372, 258, 53, 14));
    sendCtrl_ = new QToolButton(client_);
    sendCtrl_->setObjectName(QStringLiteral("SendCtrl"));
    sendCtrl_->setText(tr("SendCtrl"));
    sendCtrl_->setPopupMode(QToolButton::MenuButtonPopup);
    sendCtrl_->setGeometry(Pixels(QRect(5, 277, 53, 14)));
    controls_[kIdSendCtrl] = sendCtrl_;
    controls_[kIdLoadFile] = AddButton("LoadFile", QT_TR_NOOP("LoadFile"), QRect(65, 277, 53, 14));
    controls_[kIdSetPort] = AddButton("SetPort", QT_TR_NOOP("SetPort"), QRect(125, 277, 53, 14));
    controls_[kIdOpenPort] = AddButton("OpenPort", QT_TR_NOOP("OpenPort"), QRect(185, 277, 53, 14));
    controls_[kIdClosePort] =
        AddButton("ClosePort", QT_TR_NOOP("ClosePort"), QRect(245, 277, 53, 14));
    controls_[kIdSendFile] = AddButton("SendFile", QT_TR_NOOP("SendFile"), QRect(305, 277, 53, 14));
    controls_[kIdReSend] = AddButton("ReSend", QT_TR_NOOP("ReSend"), QRect(372, 277, 53, 14));
    AddButton("SaveData", QT_TR_NOOP("SaveData"), QRect(5, 296, 53, 14));
    scroll_ = AddCheckBox("Scroll", QT_TR_NOOP("scroll"), QRect(65, 296, 40, 10));
    sendNow_ = AddCheckBox("SendNow", QT_TR_NOOP("send now"), QRect(125, 296, 48, 10));
    controls_[kIdAutoSend] = AddButton("AutoSend", QT_TR_NOOP("AutoSend"), QRect(185, 296, 53, 14));
    AddButton("Exit", QT_TR_NOOP("Exit"), QRect(372, 296, 53, 14));
    statusBar_ = new CStatusBar(client_);
    statusBar_->setGeometry(0, client_->height() - CStatusBar::kHeight, client_->width(),
                            CStatusBar::kHeight);
    keys_ = new CKeyFilter(sendBox_, this);
}

void CMainWindow::BuildTrafficList() {
    traffic_ = new CTrafficListPane(*engine_, settings_, client_);
    trafficList_ = traffic_->View();
    trafficModel_ = traffic_->Model();
    trafficList_->setGeometry(Pixels(QRect(5, 18, 209, 234)));
    connect(traffic_, &CTrafficListPane::popupRequested, this,
            [this](QPoint at) { menus_->PopUp(QStringLiteral("EVENT"), at); });
}

void CMainWindow::BuildDataList() {
    data_ = new CDataListPane(*engine_, client_);
    dataList_ = data_->View();
    dataModel_ = data_->Model();
    dataList_->setGeometry(Pixels(QRect(217, 0, 208, 252)));
    controls_[kIdDataList] = dataList_;
    connect(data_, &CDataListPane::popupRequested, this,
            [this](QPoint at) { menus_->PopUp(QStringLiteral("DATA_PROC"), at); });
}

void CMainWindow::BuildAnchors() {
    const auto add = [this](QWidget* control, unsigned flags, int mode, bool keepMinimum) {
        client_->Anchors().Add(control, AnchorRule{flags, 100, mode, keepMinimum, {}});
    };
    add(bufferBox_, kGrowWidth, 0, false);
    add(showDataList_, kMoveRight, 0, false);
    add(trafficList_, kGrowBoth, 0, false);
    add(dataList_, kMoveRight | kGrowHeight, 0, false);
    add(sendBox_, kMoveDown | kGrowWidth, 0, true);
    add(lineEnd_, kMoveBoth, 0, false);
    add(tapSide_, kMoveDown, 0, false);
    add(controls_[kIdSendData], kMoveBoth, 0, false);
    add(controls_[kIdCheckSum], kMoveBoth, 0, false);
    for (const char* name : {"SendCtrl", "LoadFile", "SetPort", "OpenPort", "ClosePort", "SendFile",
                             "ReSend", "SaveData", "Scroll", "SendNow", "AutoSend", "Exit"})
        add(findChild<QWidget*>(QString::fromLatin1(name)), kMoveBoth, 1, false);
}

void CMainWindow::BuildBands() {
    systemMenu_->addSeparator();
    // Top to bottom: what belongs to the send box first, then the serial
    // line's, then the find bar and the statistics.
    quickSends_ = new CQuickSendRow(*this);
    modemLines_ = new CModemLinesBand(*this);
    findBar_ = new CFindBar(*this, *trafficModel_, *trafficList_, settings_);
    listOptions_ = new CTrafficListOptions(*engine_, *trafficList_, *trafficModel_, *findBar_);
    listOptions_->AddCommands(systemMenu_);
    statistics_ = new CStatisticsPanel(*this, settings_);
    systemMenu_->addMenu(CTheme::BuildMenu(systemMenu_, *engine_));
    csvExport_ = new CCsvExportRunner(*engine_, settings_, this);
    QAction* exportCsv = systemMenu_->addAction(tr("Export CSV..."));
    exportCsv->setObjectName(QStringLiteral("ExportCsv"));
    // With a filter on, the rows it shows; else the whole store.
    connect(exportCsv, &QAction::triggered, this, [this] {
        csvExport_->AskAndExport(trafficModel_->Filtered() ? &trafficModel_->Matches().Rows()
                                                           : nullptr);
    });
    systemMenu_->addSeparator();
    sessions_ = new CSessionCommands(*engine_, *systemMenu_, *this);
    systemMenu_->addSeparator();
    QAction* highlights = systemMenu_->addAction(tr("Highlight rules..."));
    highlights->setObjectName(QStringLiteral("EditHighlights"));
    connect(highlights, &QAction::triggered, this, &CMainWindow::EditHighlightRules);
    QAction* triggers = systemMenu_->addAction(tr("Trigger rules..."));
    triggers->setObjectName(QStringLiteral("EditTriggerRules"));
    connect(triggers, &QAction::triggered, this,
            [this] { CTriggerRulesDlg(*engine_, this).exec(); });
}

void CMainWindow::AddBand(QWidget* band) {
    client_->AddBand(band);
}

void CMainWindow::AddWindowShortcut(QAction* action) {
    addAction(action);
}

bool CMainWindow::BandShown(const QWidget* band) const {
    return client_->BandShown(band);
}

void CMainWindow::SetBandShown(QWidget* band, bool shown) {
    if (client_->SetBandShown(band, shown)) FitToScreen();
}

void CMainWindow::ConnectButtons() {
    const auto on = [this](const char* name, auto&& action) {
        auto* button = findChild<QAbstractButton*>(QString::fromLatin1(name));
        connect(button, &QAbstractButton::clicked, this, action);
    };
    on("ShowDataList", [this] { ToggleDataList(); });
    on("SendData", [this] { engine_->OnSendData(); });
    on("CheckSum", [this] { engine_->OnCheckSumButton(); });
    on("SendCtrl", [this] { engine_->OnSendCtrl(); });
    on("LoadFile", [this] { files_->ChooseDataFile(); });
    on("SetPort", [this] { RunSetPortDialog(); });
    on("OpenPort", [this] { engine_->OnOpenPort(); });
    on("ClosePort", [this] { engine_->OnClosePort(); });
    on("SendFile", [this] { files_->ChooseFileToSend(); });
    on("ReSend", [this] { engine_->ReSend(); });
    on("SaveData", [this] { files_->SaveTraffic(kCmdSaveFmt); });
    on("AutoSend", [this] { engine_->OnAutoSend(); });
    on("Exit", [this] { close(); });
    on("SendNow", [this] { engine_->ToggleSendNow(); });
    on("Scroll", [this] { engine_->SetScrollToNewest(scroll_->isChecked()); });
}

void CMainWindow::ConnectSendControls() {
    connect(sendBox_, &QLineEdit::textEdited, this,
            [this](const QString& text) { engine_->SetSendText(LocalBytes(text)); });
    connect(keys_, &CKeyFilter::enterInSendBox, this, [this] { engine_->OnEnterKey(); });
    connect(keys_, &CKeyFilter::olderInSendBox, this, [this] { engine_->HistoryOlder(); });
    connect(keys_, &CKeyFilter::newerInSendBox, this, [this] { engine_->HistoryNewer(); });
    connect(keys_, &CKeyFilter::helpRequested, this, &CMainWindow::ShowAbout);
}

void CMainWindow::ConnectMenus() {
    menus_ = new CWindowMenus(
        *this, settings_, [this](int command) { RunCommand(command); },
        [this](int command) { engine_->OnCtrlMenu(command); }, *sendCtrl_);
    systemMenu_ = menus_->WindowMenu();
    connect(menus_, &CWindowMenus::menuBarToggled, this, [this](bool shown) {
        SetMenuBarShown(shown);
        CWindowPlacement::StoreMenuBarShown(shown);
    });
    statusBar_->SetMenu(systemMenu_);
    connect(statusBar_, &CStatusBar::paneDoubleClicked, this, &CMainWindow::OnPaneDoubleClicked);
    connect(statusBar_, &CStatusBar::paneRightReleased, this, &CMainWindow::OnPaneRightReleased);
}

void CMainWindow::SetMenuBarShown(bool shown) {
    menus_->SetMenuBarShown(shown);
    FitToScreen();
}

// --- size and place ---

void CMainWindow::FitToScreen() {
    const int top = menus_->MenuBarHeight();
    CWindowPlacement::KeepOnScreen(*this, client_->SmallestSize() + QSize(0, top));
    LayOut();
}

void CMainWindow::LayOut() {
    const int top = menus_->MenuBarHeight();
    if (top > 0) menus_->MenuBar()->setGeometry(0, 0, width(), top);
    client_->setGeometry(0, top, width(), height() - top);
    client_->Place();
}

// --- state into widgets ---

void CMainWindow::OnStateChanged(unsigned what) {
    if (what & kChangedButtons) ShowButtons();
    if (what & kChangedStatus) ShowStatus();
    if (what & kChangedTitle) setWindowTitle(LocalText(engine_->State().title));
    if (what & kChangedSendText) ShowSendText();
    if (what & kChangedBuffer) bufferBox_->setText(LocalText(engine_->State().bufferText));
    if (what & (kChangedRecords | kChangedScroll)) traffic_->ScheduleCatchUp(what & kChangedScroll);
    if (what & kChangedSettings) ShowSettings();
    if ((what & (kChangedQuickSends | kChangedButtons)) && quickSends_) quickSends_->Refresh();
    if ((what & kChangedLines) && modemLines_) modemLines_->Refresh();
}

void CMainWindow::ShowButtons() {
    for (const auto& [id, control] : controls_) {
        const ButtonState& state = engine_->State().Button(id);
        control->setEnabled(state.enabled);
        control->setToolTip(LocalText(state.toolTip));
        // The data list is shown or hidden by the ">" button alone.
        if (id != kIdDataList) control->setVisible(state.visible);
        auto* button = qobject_cast<QAbstractButton*>(control);
        // The template's captions are translated; the engine's own come from
        // the string table already and have no translation to find.
        if (button != nullptr && !state.caption.empty()) button->setText(tr(state.caption.c_str()));
        if (button != nullptr) FitCaption(button);
    }
}

void CMainWindow::ShowStatus() {
    const CMainState& state = engine_->State();
    for (int pane = 0; pane < 3; ++pane)
        statusBar_->SetPaneText(pane, LocalText(state.panes[static_cast<size_t>(pane)]));
    // Pane 2 is 60 pixels wide; its tool tip holds the whole text.
    statusBar_->SetPaneToolTip(2, LocalText(state.panes[2]));
    statusBar_->SetPaneToolTip(0, LocalText(state.pane0ToolTip));
}

void CMainWindow::ShowSendText() {
    const QString text = LocalText(engine_->State().sendText);
    if (sendBox_->text() != text) sendBox_->setText(text);
}

void CMainWindow::ShowSettings() {
    scroll_->setChecked(settings_.ScrollRSWnd != 0);
    sendNow_->setChecked(settings_.LButtonDblClkSend != 0);
    lineEnd_->Refresh();
    tapSide_->Refresh();
    trafficModel_->Restyle();
    findBar_->Restyle();
}

// --- timers and message boxes ---

void CMainWindow::StartTimer(int id, int64_t periodMs) {
    timers_->Start(id, periodMs);
}

void CMainWindow::StopTimer(int id) {
    timers_->Stop(id);
}

MsgResult CMainWindow::ShowMessageBox(const std::string& text, const std::string& caption,
                                      MsgIcon icon, MsgButtons buttons) {
    return ShowQtMessageBox(this, text, caption, icon, buttons);
}

// --- commands ---

void CMainWindow::RunCommand(int command) {
    switch (command) {
        case kCmdAbout:
            return ShowAbout();
        case kCmdPinWindow:
            return TogglePin();
        case kCmdNewInstance:
            return StartNewInstance();
        case kCmdExplorerPath:
            QDesktopServices::openUrl(QUrl::fromLocalFile(LocalText(settings_.ExeDir)));
            return;
        case kCmdSaveAll:
            return engine_->SaveAllLogs();
        case kCmdSaveZip:
            return files_->SaveZip();
        case kCmdClearAllData:
            return engine_->OnClearAllData();
        case kIdLoadFile:
            return files_->ChooseDataFile();
        case kCmdReLoad:
            engine_->ReLoad();
            return;
        case kCmdClearDataList: {
            const bool ctrl = QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
            return engine_->ClearDataList(ctrl);
        }
        case kCmdSaveDataList:
            return files_->SaveDataListAs();
        case kCmdInsertAbove:
            return engine_->InsertAbove();
        case kCmdInsertBelow:
            return engine_->InsertBelow();
        case kCmdDeleteData:
            return engine_->DeleteSelected();
        case kCmdSendAstmMessage:
            engine_->SendProtocolMessage();
            return;
        case kCmdSelectUiSystem:
        case kCmdSelectUiChinese:
        case kCmdSelectUiEnglish:
            return engine_->OnSelectUI(command);
        default:
            return files_->SaveTraffic(command);
    }
}

void CMainWindow::RunSetPortDialog() {
    // The dialog's line over the locked port settings closes the port.
    CComSetDlg dialog(settings_, engine_->IsPortOpen(), this, [this] {
        engine_->OnClosePort();
        return !engine_->IsPortOpen();
    });
    const bool accepted = dialog.exec() == QDialog::Accepted;
    engine_->OnSetPort(accepted);
    // Another set brings its own style, columns and bands.
    if (!accepted) return;
    ShowSettings();
    listOptions_->FollowSettings();
    statistics_->FollowSettings(settings_);
    sendBox_->setFocus();  // configured: what comes next is typing to the peer
}

void CMainWindow::ToggleDataList() {
    ApplyDataListShown(engine_->ToggleDataList());
}

void CMainWindow::ApplyDataListShown(bool shown) {
    const QRect list = dataList_->geometry();
    // Shown: the traffic list ends 4 pixels left of the data list; hidden:
    // it takes the data list's place up to its right edge.
    const int edge = shown ? list.x() : list.x() + list.width();
    QRect traffic = trafficList_->geometry();
    traffic.setWidth(std::max(edge - (shown ? 4 : 0) - traffic.x(), 0));
    trafficList_->setGeometry(traffic);
    QRect buffer = bufferBox_->geometry();
    buffer.setWidth(std::max(edge - 15 - buffer.x(), 0));
    bufferBox_->setGeometry(buffer);
    showDataList_->move(edge - 12, showDataList_->y());
    showDataList_->setText(shown ? QStringLiteral(">") : QStringLiteral("<"));
    dataList_->setVisible(shown);
}

void CMainWindow::LoadDataFile(const QString& path) {
    files_->LoadDataFile(path);
}

void CMainWindow::EditHighlightRules() {
    CHighlightRulesDlg dialog(settings_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    engine_->SetHighlightRules(dialog.Rules());
    trafficModel_->Restyle();
}

void CMainWindow::OpenPendingDetail() {
    CMsgExchange& exchange = engine_->Exchange();
    if (exchange.Pending().empty()) return;
    CDataDetail detail(CMsgRecord('R', exchange.Pending()));
    detail.SetSaveShown(true);
    CDataDetailDlg dialog(std::move(detail), settings_, this,
                          [this](int view) { engine_->SetDetailView(view); });
    if (dialog.exec() != QDialog::Accepted) return;
    engine_->FlushPendingData();
    traffic_->ScheduleCatchUp(false);
}

void CMainWindow::OnPaneDoubleClicked(int pane) {
    if (pane == 0 && settings_.WorkMode == kWorkModeSerial) {
        CSerialPortListDlg dialog(settings_, this);
        dialog.exec();
    } else if (pane == 2) {
        ShowMessageBox("LuaProc.lua", kProgramCaption, MsgIcon::None, MsgButtons::Ok);
    } else if (pane == 3) {
        statusBar_->ToggleClock();
    }
}

void CMainWindow::OnPaneRightReleased(int pane, QPoint at) {
    if (pane == 2) menus_->PopUp(QStringLiteral("DATA_PROC"), at);
    if (pane == 3) menus_->PopUp(QStringLiteral("SelectUI"), at);
}

void CMainWindow::TogglePin() {
    pinned_ = !pinned_;
    const QRect frame = geometry();
    // Changing the flag hides the window; it comes back where it was.
    setWindowFlag(Qt::WindowStaysOnTopHint, pinned_);
    setGeometry(frame);
    show();
    menus_->SetPinned(pinned_);
}

void CMainWindow::StartNewInstance() {
    const QStringList args{QStringLiteral("-n"), LocalText(NewInstanceIniName(settings_.IniPath))};
    QProcess::startDetached(LocalText(settings_.ExePath), args, LocalText(settings_.ExeDir));
}

void CMainWindow::ShowAbout() {
    CAboutDialog about(settings_.ExePath, this);
    about.exec();
}

QMenu* CMainWindow::BuildPopup(const QString& name) {
    return menus_->BuildPopup(name);
}

// --- events ---

bool CMainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseButtonDblClick;
    if (!mouse) return QWidget::eventFilter(watched, event);
    if (watched == bufferLabel_ && type == QEvent::MouseButtonDblClick) {
        OpenPendingDetail();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CMainWindow::closeEvent(QCloseEvent* event) {
    // Inside a command (its message box) the port cannot be closed yet: the
    // window closes once the command is over.
    if (engine_->InCommand()) {
        event->ignore();
        QTimer::singleShot(kRetryMs, this, &QWidget::close);
        return;
    }
    if (!closed_) engine_->OnClosePort();
    if (!closed_)
        CWindowPlacement::Store(*this, trafficList_->Header(), !menus_->MenuBar()->isHidden());
    closed_ = true;
    event->accept();
}

void CMainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void CMainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // Over empty space only: the controls keep their own menus.
    QWidget* under = childAt(event->pos());
    if (under == nullptr || under == client_) systemMenu_->exec(event->globalPos());
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    // Only the first dropped file is loaded.
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    LoadDataFile(urls.first().toLocalFile());
}

}  // namespace qelvor
