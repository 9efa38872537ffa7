// The SendFile and ReSend commands: a whole file written to the current port,
// within the size limit of the port kind. A connected TCP port and a serial
// line take the file in pieces at the poll ticks, as fast as the peer or the
// line takes it, so a slow peer never holds the window; a serial line that
// takes nothing for 5 s ends the send with what went out, as its one-write
// limit did. UDP takes it in one datagram. The file is not listed as a sent
// record: its end leaves one 'I' record, and its bytes count as sent in the
// traffic statistics as they go out. Engine thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mainwnd/engine_context.h"

namespace qelvor {

class CPortControl;

// The largest files that can be sent, both inclusive.
inline constexpr uint64_t kSerialSendLimit = 16777216;  // 16 MiB on a serial port
inline constexpr uint64_t kSendLimit = 268435456;       // 256 MiB on the other kinds

// Whether a file of size bytes may be sent on a port of the work mode.
bool FileFitsSendLimit(uint64_t size, int workMode);

class CFileSender {
  public:
    CFileSender(CEngineContext& context, CPortControl& ports);
    ~CFileSender();
    CFileSender(const CFileSender&) = delete;
    CFileSender& operator=(const CFileSender&) = delete;

    // Sends the file; once it went out (wholly or in part) remembers it for
    // ReSend and shows the ReSend button. The write count of a send that
    // ended here, the file's size in bytes for one that goes on at the poll
    // ticks; 0 when nothing was sent.
    int SendFile(const std::string& path);
    // Sends the last successfully sent file again.
    void ReSend();
    // The poll tick: the next piece of a send under way, and its progress in
    // status pane 1 for a file above 1 MiB.
    void PollSend();
    // The port closes: a send under way ends with what went out so far.
    void StopForClose();
    bool Sending() const { return job_ != nullptr; }

  private:
    struct Job;

    int SendWhole(const std::string& path);
    bool ReadBody(const std::string& path, std::string& bytes);
    std::string Convert(std::string bytes) const;
    int SendPiece();
    bool SerialStalled() const;
    void ShowProgress();
    void FinishJob();
    // Bytes of the file written to the port, in the traffic statistics.
    void CountSent(size_t bytes);
    // The one 'I' record of a send that ended ("N bytes sent", how many were
    // not, or the error): result is its write count.
    void Finish(const std::string& path, int result, size_t total, bool explain);

    CEngineContext& ctx_;
    CPortControl& ports_;
    std::unique_ptr<Job> job_;
};

}  // namespace qelvor
