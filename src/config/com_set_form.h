// The configuration dialog without its drawing: the working copy of the
// settings, the state of every control as plain values, the list tables, the
// text rules of the edits and the set-management commands with their effects
// on the INI file. The window copies its widgets into Controls() before a
// command and back out of it afterwards. User-interface thread only.
#pragma once

#include <array>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "config/com_setting.h"
#include "config/message_box.h"

namespace qelvor {

// A serial device found on this machine, as the "COM Port" list offers it.
struct SerialDevice {
    std::string path;         // the device node: /dev/ttyUSB0, /dev/pts/3
    std::string description;  // what the device calls itself ("FT232R USB UART"); may be empty
    std::string byId;         // its stable link in /dev/serial/by-id; may be empty
    std::string state;        // why it cannot be opened now ("busy: ..."); empty when free
};

// What every control of the dialog shows, named after the key it edits.
// Lists hold the selected index (-1: nothing selected); number edits hold
// their text, checked only when the form collects them.
struct ComSetControls {
    int WorkMode = kWorkModeSerial;  // the port kind radio group
    int ComPort = -1, BaudRate = -1, ByteSize = -1, Parity = -1, StopBit = -1, FlowCtrl = -1;
    int CheckSum = -1, SendFileFMT = -1, ShowDataFmt = -1, SenDataEncodeCov = -1;
    int ProtocolMode = -1, AstmRole = -1, Hl7Role = -1, Hl7AckCode = -1, Hl7ControlIds = -1;
    // The "COM Port" list: the devices found first, then "COM_Ext" and
    // "COM1 (/dev/ttyS0)" to "COM32"; ComPort is the index into it.
    std::vector<std::string> ComPortEntries;
    std::string ComName;
    std::string ServerAddress;  // SvrIPAddr of every mode but UDP
    std::string RemoteAddress;  // SvrIPAddr in UDP mode
    std::string IPPort, UDPRemotePort, UDPLocalPort, AutoSendElapse, BackupLogTimeCount,
        InterframeDelay, AstmReplyTimeoutMs, AstmIdleTimeoutMs, AstmEnqRetryMs, Hl7AckTimeoutMs,
        Hl7Retries, Hl7MaxMessage;
    std::string Preamble, Postamble, SplitStrs, RespondStrs, ReplaceOld, ReplaceNew;
    std::string PtyLink;     // the virtual port's link name; empty: the default
    std::string OrdersFile;  // the order table queries are answered from
    // A tap's two endpoints: each its kind, an index into
    // CComSetForm::kTapKinds (-1: a stored name of no known kind, kept whole
    // in the text), and the rest of its name ("/dev/ttyUSB0:9600:8N1").
    int TapAKind = 0, TapBKind = 0;
    std::string TapA, TapB;
    bool HexSendData = false, HandShake = false, UsedCheckSum = false, SupportStress = false,
         SaveEventTimetoFmtFile = false, AutoRestart = false, SaveDatatoDesktop = false,
         SendAfterLoadFile = false, TitleShowPortType = false, UsedResponseFile = false,
         NoSendFileBOM = false, AutoSaveLog = false;
    bool DtrOnOpen = false, RtsOnOpen = false, AutoReconnect = false, Hl7FillTime = false;

    // The editable "Series" list: entries sorted without regard to case.
    std::vector<std::string> SeriesEntries;
    int SeriesIndex = -1;
    std::string SeriesText;

    // Which groups show, which edits take typing, which controls are live.
    bool ComNameShown = false, TcpShown = false, SerialShown = false, UdpShown = false,
         PtyShown = false, TapShown = false;
    // The serial line's rows: a serial port's, and a tap's for a serial side
    // that names no baud rate or format of its own.
    bool LineShown = false;
    // Reopening a lost link is offered for the links that can be reopened:
    // a serial device, a TCP client's connection and a tap's sides.
    bool AutoReconnectShown = false;
    bool RespondReadOnly = false, PreambleReadOnly = false, InterframeReadOnly = false;
    bool PortControlsEnabled = true;  // off while the port is open
};

// The number edit that refused its text, by the key it edits, with the
// range it takes (the whole int range for most).
struct NumberRefusal {
    std::string key;
    std::string text;
    int min = std::numeric_limits<int>::min();
    int max = std::numeric_limits<int>::max();
    // Set for a text refused for another reason than its number: why, in one
    // line (a tap's endpoint that names no port).
    std::string reason;

    bool Ranged() const {
        return min != std::numeric_limits<int>::min() || max != std::numeric_limits<int>::max();
    }
};

// How a text pasted into an address field is taken.
struct PasteOutcome {
    enum class Action { FillAddress, InsertText, Drop, PasteNormally };
    Action action = Action::Drop;
    std::string text;  // the address for FillAddress, the text for InsertText
};

class CComSetForm {
  public:
    static constexpr int kComPortCount = 32;
    static constexpr int kAutoSendMax = 500;
    static const std::array<int, 13> kBaudRates;
    static constexpr const char* kDefaultSet = "ComSet";
    // The kinds a tap's endpoint is, in the order its list shows them, as
    // its stored name begins ("serial:/dev/ttyUSB0").
    static constexpr std::array<const char*, 5> kTapKinds = {"serial", "tcp-server", "tcp-client",
                                                             "udp", "pty"};

    // global is the record the program reads; it changes only on Save (and
    // its SetNames on Save Series and Del Series). box answers the questions.
    CComSetForm(CComSetting& global, bool portOpen, IMessageBox& box);

    ComSetControls& Controls() { return c_; }

    // Title with the INI file's name in parentheses, unless it has one.
    std::string Title(const std::string& base) const;
    // The whole opening: Reset, the port-open rule and edit 1117 shown by
    // the port list; on a first start, a found device chosen.
    void Open();
    // No settings file exists yet.
    bool IsFirstStart() const;

    // --- commands; each reads Controls() and leaves the result there ---
    void Reset();
    // The first refused number edit, with every other control taken into
    // the working record; nothing when all were numbers.
    std::optional<NumberRefusal> CollectControls();
    // Save as the named set, make it current, copy it over the global
    // record. A refused number saves nothing: the refusal is returned. A
    // file that cannot be written is told in a message box; the record
    // still takes the new values.
    std::optional<NumberRefusal> Save();
    std::optional<NumberRefusal> SaveSeries();
    void DelSeries();
    void ChooseSeries(int index);
    void ChooseWorkMode(int mode);
    // A found device is stored as "COM_Ext" with its path in ComName, or as
    // COMn when it is /dev/ttyS(n-1).
    void ChooseComPort(int index);
    // The devices found now, in the order listed; the choice made stays
    // chosen, a device that went away as "COM_Ext" with its path.
    void SetDevices(std::vector<SerialDevice> devices);
    // The port was closed from the dialog: its controls take edits again.
    void PortClosed();
    // The devices that ComName names in the sets set to "COM_Ext" (the
    // current one first), so that a device found by no discovery (a pty, a
    // by-id link) still shows when present.
    std::vector<std::string> ConfiguredDevicePaths() const;
    void ToggleResponse();
    void ToggleHexSend();
    void SplitEdited();
    // The clipboard button: a text inet_addr takes fills the server address.
    void TakeClipboardAddress(const std::string& clipboard);
    // The auto-send edit stepped by its spin arrows, kept in 0..500.
    void StepAutoSend(int delta);

    // --- text rules ---
    // The device a ComName names: a path as it is, other names under /dev.
    static std::string DevicePathOf(const std::string& comName);
    // A found device's line in the "COM Port" list: its name under /dev, its
    // description, its by-id name in parentheses and why it is busy.
    static std::string DeviceLine(const SerialDevice& device);
    // A whole decimal number with blanks around it allowed, in the int range.
    static bool ParseNumber(const std::string& text, int& value);
    // One character is that byte; other text is read as hexadecimal digits
    // and gives its first byte, or 0.
    static uint8_t ReplaceByte(const std::string& text);
    // text read as inet_addr reads it, shown dotted; "255.255.255.255" for a
    // text that is no address.
    static std::string DottedAddress(const std::string& text);
    // Four decimal numbers 0..255 joined by "." and nothing behind them.
    static bool IsDottedQuad(const std::string& text);
    // A paste into an address field: a dotted address is taken as it is;
    // other text first asks the slow-lookup question, and on Yes resolve
    // turns the trimmed text into an address ("" when it finds none).
    PasteOutcome Paste(const std::string& clipboard,
                       const std::function<std::string(const std::string&)>& resolve);

  private:
    // The tap's endpoints into the working record; the first that names no
    // port, in tap mode.
    std::optional<NumberRefusal> CollectEndpoints();
    // A message box naming the file when saved is false.
    void TellUnlessSaved(bool saved);
    void LoadIntoForm(const std::string& name);
    void ShowFields();
    void ShowGroups();
    void ApplyReadOnlyRules();
    void TakeListIndexes();
    void FillSeries();
    int AddSeriesEntry(const std::string& name);
    int FindSeriesEntry(const std::string& name, bool prefix) const;
    void SelectSeries(int index);
    // The "COM Port" list's index of a stored choice, and back; -1 for
    // none (a ComPort the list does not hold).
    int ComPortIndex(int comPort, const std::string& comName) const;
    void OfferFoundDevice();
    int ComPortValue(int index) const;

    CComSetting& global_;
    CComSetting working_;
    bool portOpen_;
    IMessageBox& box_;
    ComSetControls c_;
    std::vector<SerialDevice> devices_;
};

}  // namespace qelvor
