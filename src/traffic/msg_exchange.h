// The main window's message exchange: the traffic store, the frame splitter
// with its pending bytes and responses, the data-list cursor, the "<FN8>"
// frame counter and the plug-in host. User-interface thread only; the only
// hand-off to another thread is the continuous log's copy of each line.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plugin/plugin_host.h"
#include "traffic/frame_cutter.h"
#include "traffic/msg_record.h"
#include "traffic/outgoing_queue.h"
#include "traffic/record_store.h"
#include "traffic/traffic_stats.h"

namespace StreamPort {
class CStreamPort;
}

namespace qelvor {

class CComSetting;
class CDataList;
class IExchangeView;
class IRecordLog;

class CMsgExchange {
  public:
    // The settings are read live on every call (the window's global record).
    explicit CMsgExchange(const CComSetting& settings);
    CMsgExchange(const CMsgExchange&) = delete;
    CMsgExchange& operator=(const CMsgExchange&) = delete;

    // Attaches the view (may be null), the data list and the current port,
    // reads the split settings and loads the plug-in from settings.ExeDir.
    void InitExchange(IExchangeView* view, CDataList* dataList, StreamPort::CStreamPort* port);
    void SetPort(StreamPort::CStreamPort* port) { port_ = port; }
    StreamPort::CStreamPort* Port() const { return port_; }
    // The continuous log; records are posted to it while AutoSaveLog is on.
    void SetRecordLog(IRecordLog* log) { recordLog_ = log; }

    // --- traffic store ---
    // Appends a record stamped with the local time of this moment. Nonzero.
    int AddRecord(char type, std::string data);
    // Appends a record built by the caller.
    void AppendRecord(CMsgRecord record);
    // Hands the bytes to the port without waiting for room: what it does not
    // take now waits in the outgoing queue, behind any bytes already waiting,
    // and DrainOutgoing writes it at the poll ticks. With record set, an 'S'
    // record is made when the last byte has gone to the port, so the records
    // keep the order in which the bytes left. The 'I' record "Send data,but
    // error!" when the port can take nothing (closed, not connected); beyond
    // the queue's cap the bytes are dropped and counted (see DrainOutgoing).
    // The count written or queued; below 1 when nothing was; 0 without a port.
    int SendBytes(const std::string& bytes, bool record);
    // The poll tick: writes what the port takes of the waiting bytes. A
    // serial line that takes nothing of a send for kSerialStallLimit ends
    // that send with what went out (an 'S' record of it, an 'I' record of
    // the rest). A port that can take nothing any more ends every send
    // waiting, as AbandonOutgoing does. A run of sends dropped at the cap is
    // told in one 'I' record once the queue has emptied to half its cap, and
    // every second while it goes on.
    void DrainOutgoing();
    // The connection ended or the port closes: the bytes waiting are not
    // sent; the part of a send that went out gets its 'S' record and one 'I'
    // record tells how many bytes were not sent.
    void AbandonOutgoing();
    const COutgoingQueue& Outgoing() const { return outgoing_; }
    static constexpr std::chrono::milliseconds kSerialStallLimit{5000};
    // While a file goes out in pieces, other sends (the send box, auto-send,
    // responses) wait behind it, so their bytes never land inside the file;
    // releasing the hold writes them in order, each recorded as it goes out.
    // A send that would make the waiting bytes exceed kHeldSendLimit is
    // refused with an 'I' record.
    void HoldSends(bool hold);
    static constexpr size_t kHeldSendLimit = 16777216;
    // Why the last failed write found the port unable to take it ("no client
    // connected"); empty when it failed otherwise or the last write did not.
    const std::string& LastSendFailure() const { return lastSendFailure_; }
    // The text of an 'I' record for a write that left part of the bytes.
    static std::string UnsentText(const std::string& what, int written, size_t total);
    // Removes every record ("&Clear all data", the backup tick).
    void ClearAll();
    size_t RecordCount() const { return store_.size(); }
    // Counts the clears of the store: a view that catches up on new records
    // now and then tells "cleared, then grew" from "grew" by it.
    uint64_t Generation() const { return store_.Generation(); }
    CMsgRecord Record(size_t index) const { return store_[index]; }
    const CRecordStore& Records() const { return store_; }
    CRecordStore& Store() { return store_; }
    // The tick: the records appended since the last one go to the capture
    // file; what the store has to tell comes as 'I' records.
    void FlushStore();
    // Counted from every appended record, each 'R' record checked as a frame
    // of the set's CheckSum kind; a clear of the store keeps them.
    CTrafficStats& Stats() { return stats_; }
    const CTrafficStats& Stats() const { return stats_; }

    // --- frame splitting and auto-response ---
    // Rebuilds the split list and the response map from the settings.
    void LoadSplitConfig();
    // Comma-separated notation items, each unescaped; longest gets the
    // length of the longest item.
    static std::vector<std::string> ParseNotationList(std::string_view text, size_t* longest);
    // One block read from the port; a count below 1 does nothing. While a
    // protocol link takes the received bytes, the block goes to it instead
    // of the splitter.
    void OnReceive(const char* data, int count);
    // Hands every received block to link instead of the splitter; an empty
    // function gives them back to the splitter.
    using ReceiveLink = std::function<void(std::string_view)>;
    void DivertReceived(ReceiveLink link) { receiveLink_ = std::move(link); }
    void SplitReceived(std::string_view bytes, int workMode);
    // Offered every frame a split string ended and every datagram, after
    // its record and before the usual response; a hook that returns true
    // has answered the frame, and the response does not follow.
    using FrameHook = std::function<bool(char type, std::string_view frame)>;
    void SetFrameHook(FrameHook hook) { frameHook_ = std::move(hook); }
    // Writes the response paired with the split string; its write count, or
    // 0 when nothing was sent.
    int RespondTo(const std::string& splitString);
    std::string NextDataLine(std::string_view token);
    std::string NextResponseLine(std::string_view token);
    // Records the pending bytes as one 'R' record; 1 when there were any.
    int FlushPending();
    const std::string& Pending() const { return cutter_.Pending(); }

    // --- send-side state shared with the send operations ---
    int DataIndex() const { return dataIndex_; }
    void SetDataIndex(int index) { dataIndex_ = index; }
    int8_t& FrameCounter() { return frameCounter_; }
    // ComposeOutgoing with this exchange's settings and frame counter; a
    // line that the code-page conversion emptied leaves an 'I' record why.
    std::string Compose(std::string_view line);

    const std::vector<std::string>& SplitList() const { return cutter_.Splits(); }
    // The script plug-in, for the script's hooks.
    CPluginHost& Plugin() { return plugin_; }

  private:
    std::string NotConnectedReason() const;
    int WriteOrQueue(const std::string& bytes, bool record);
    // Queues the bytes after sent of them went out; the count taken.
    int QueueSend(const std::string& bytes, size_t sent, bool record);
    // Writes what the port takes of the waiting sends; false when it could
    // take nothing any more and the sends were abandoned.
    bool WriteWaiting(COutgoingQueue::Clock::time_point now);
    bool FrontStalled(const COutgoingQueue::Send& front, COutgoingQueue::Clock::time_point now);
    void EndFrontUnsent(COutgoingQueue::Clock::time_point now);
    void ReportDrops();
    // The send box's text before a block: the current line when it changed.
    void TakeSendText(const std::string& sendText);
    void SplitStream(std::string_view bytes);
    void SplitDatagram(std::string_view bytes);

    const CComSetting& settings_;
    IExchangeView* view_ = nullptr;
    CDataList* dataList_ = nullptr;
    StreamPort::CStreamPort* port_ = nullptr;
    std::string lastSendFailure_;
    struct HeldSend {
        std::string bytes;
        bool record;
    };
    bool holdSends_ = false;
    std::vector<HeldSend> heldSends_;
    size_t heldBytes_ = 0;
    COutgoingQueue outgoing_;
    IRecordLog* recordLog_ = nullptr;
    ReceiveLink receiveLink_;
    FrameHook frameHook_;
    CPluginHost plugin_;
    CRecordStore store_;
    CTrafficStats stats_;
    CFrameCutter cutter_;
    int dataIndex_ = -1;
    std::string currentLine_;
    // The send box's text as the last block found it.
    std::string seenSendText_;
    int8_t frameCounter_ = 0;
    std::map<std::string, std::string> responseMap_;
    std::string lastResponse_;
    uint8_t alternation_ = 0x06;
};

inline constexpr const char* kSendErrorText = "Send data,but error!";

}  // namespace qelvor
