// Every command id of the main window in one place: the controls the engine
// drives, the window's own menu commands, the control-character popup and the
// language popup. An id names one command only; the "&Load" menu item is the
// LoadFile button's command. Plain constants; any thread.
#pragma once

namespace qelvor {

// Controls of the main window that the engine drives.
enum ControlId : int {
    kIdLoadFile = 1000,
    kIdSetPort = 1002,
    kIdSendData = 1003,
    kIdDataList = 1005,
    kIdOpenPort = 1010,
    kIdClosePort = 1011,
    kIdSendCtrl = 1015,
    kIdAutoSend = 1033,
    kIdCheckSum = 1047,
    kIdSendFile = 1075,
    kIdReSend = 1088,
};

// Commands of the window's menus and popups.
enum WindowCommand : int {
    kCmdAbout = 16,
    kCmdPinWindow = 19,
    kCmdNewInstance = 32,
    kCmdExplorerPath = 33,
    kCmdSaveFmt = 4001,
    kCmdSaveRaw = 4002,
    kCmdSaveHex = 4003,
    kCmdSaveTxt = 4004,
    kCmdSaveFmtBinary = 4005,
    kCmdSaveAll = 4012,
    kCmdSaveZip = 4014,
    kCmdReLoad = 4017,
    kCmdClearAllData = 32789,
    kCmdInsertBelow = 32790,
    kCmdDeleteData = 32791,
    kCmdClearDataList = 32792,
    kCmdSaveDataList = 32793,
    kCmdInsertAbove = 40001,
    kCmdSendAstmMessage = 40002,
};

// The control-character popup of the SendCtrl button.
inline constexpr int kCmdCrLf = 32784;
inline constexpr int kCmdEotSoh = 32785;
inline constexpr int kCmdCtrlCharFirst = 32800;  // + the byte value 0..31

// The "Select UI" popup: follow the system, Chinese, English; a command less
// kCmdSelectUiSystem is the settings' UsedUILangCode.
inline constexpr int kCmdSelectUiSystem = 4021;
inline constexpr int kCmdSelectUiChinese = 4022;
inline constexpr int kCmdSelectUiEnglish = 4023;

}  // namespace qelvor
