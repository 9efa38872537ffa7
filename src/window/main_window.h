// The main window of the desktop program: a thin view of CMainEngine. It
// turns clicks, keys, menu commands and timer ticks into engine calls, and the
// engine's state (the OnStateChanged bits and CMainState) into widgets. Under
// the menu bar, the controls sit where the dialog template puts them, in
// dialog units, and follow resizing by their anchors; the bands take their
// room from the list, and the window stays inside its screen. User-interface
// thread only.
#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "mainwnd/main_engine.h"
#include "mainwnd/main_view.h"
#include "window/band_host.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QToolButton;

namespace qelvor {

class CComSetting;
class CCsvExportRunner;
class CSessionCommands;
class CDataListModel;
class CDataListPane;
class CEngineTimers;
class CFileCommands;
class CFindBar;
class CTrafficListOptions;
class CKeyFilter;
class CLineEndSelector;
class CLogWriter;
class CWindowMenus;
class CClientArea;
class CModemLinesBand;
class CQuickSendRow;
class CStatisticsPanel;
class CStatusBar;
class CTapSideSelector;
class CTrafficListPane;
class CTrafficListView;
class CTrafficTableModel;

class CMainWindow : public QWidget, public IMainView, public IBandHost {
    Q_OBJECT

  public:
    CMainWindow(CComSetting& settings, QWidget* parent = nullptr);
    ~CMainWindow() override;

    // The engine's start-up: exchange, port or the configuration dialog
    // first, the data file, captions, backup timer and title. log may be
    // null.
    void Start(const CStartupArgs& args, CLogWriter* log);

    // Runs one command of a popup menu, by its id.
    void RunCommand(int command);
    // A menu of the named popup's actions as they are shown now; the caller
    // owns the menu, the window the actions.
    QMenu* BuildPopup(const QString& name);
    // Loads a dropped or chosen file as the data file.
    void LoadDataFile(const QString& path);
    bool BandShown(const QWidget* band) const;

    // IBandHost
    CMainEngine& Engine() override { return *engine_; }
    void AddBand(QWidget* band) override;
    void SetBandShown(QWidget* band, bool shown) override;
    QMenu* WindowMenu() const override { return systemMenu_; }
    void AddWindowShortcut(QAction* action) override;

    // IMainView
    void OnStateChanged(unsigned what) override;
    void StartTimer(int id, int64_t periodMs) override;
    void StopTimer(int id) override;
    MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                             MsgButtons buttons) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // --- building ---
    void BuildControls();
    QPushButton* AddButton(const char* name, const char* label, QRect dialogUnits);
    QCheckBox* AddCheckBox(const char* name, const char* label, QRect dialogUnits);
    void BuildTrafficList();
    void BuildDataList();
    void BuildAnchors();
    // The bands and their commands in the window's menu.
    void BuildBands();
    void ConnectButtons();
    void ConnectSendControls();
    void ConnectMenus();
    void SetMenuBarShown(bool shown);

    // --- size and place ---
    // The smallest size for the shown bands and menu bar, inside the screen;
    // the window grows to it and is kept on the screen.
    void FitToScreen();
    void LayOut();

    // --- state into widgets ---
    void ShowButtons();
    void ShowStatus();
    void ShowSendText();
    void ShowSettings();

    // --- commands ---
    void RunSetPortDialog();
    void ToggleDataList();
    void ApplyDataListShown(bool shown);
    void OpenPendingDetail();
    void OnPaneDoubleClicked(int pane);
    void OnPaneRightReleased(int pane, QPoint at);
    void TogglePin();
    void StartNewInstance();
    void ShowAbout();
    void EditHighlightRules();

    CComSetting& settings_;
    std::unique_ptr<CMainEngine> engine_;
    std::unique_ptr<CFileCommands> files_;
    std::map<int, QWidget*> controls_;  // the engine's control ids
    CEngineTimers* timers_ = nullptr;
    // The controls, bands and status bar under the menu bar.
    CClientArea* client_ = nullptr;
    CWindowMenus* menus_ = nullptr;
    CTrafficListPane* traffic_ = nullptr;
    CTrafficTableModel* trafficModel_ = nullptr;
    CFindBar* findBar_ = nullptr;
    CTrafficListOptions* listOptions_ = nullptr;
    CDataListPane* data_ = nullptr;
    CDataListModel* dataModel_ = nullptr;
    CKeyFilter* keys_ = nullptr;
    CStatusBar* statusBar_ = nullptr;
    CQuickSendRow* quickSends_ = nullptr;
    CModemLinesBand* modemLines_ = nullptr;
    QMenu* systemMenu_ = nullptr;
    CStatisticsPanel* statistics_ = nullptr;
    CCsvExportRunner* csvExport_ = nullptr;
    CSessionCommands* sessions_ = nullptr;
    QLabel* bufferLabel_ = nullptr;
    QLineEdit* bufferBox_ = nullptr;
    QPushButton* showDataList_ = nullptr;
    CTrafficListView* trafficList_ = nullptr;
    QListView* dataList_ = nullptr;
    QLineEdit* sendBox_ = nullptr;
    CLineEndSelector* lineEnd_ = nullptr;
    CTapSideSelector* tapSide_ = nullptr;
    QToolButton* sendCtrl_ = nullptr;
    QCheckBox* scroll_ = nullptr;
    QCheckBox* sendNow_ = nullptr;
    bool pinned_ = false;
    bool closed_ = false;
};

}  // namespace qelvor
