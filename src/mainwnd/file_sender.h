// The SendFile and ReSend commands: a whole file written to the current port
// with one write, within the size limit of the port kind. Engine thread only.
#pragma once

#include <cstdint>
#include <string>

#include "mainwnd/engine_context.h"

namespace qelvor {

// The largest files that can be sent, both inclusive.
inline constexpr uint64_t kSerialSendLimit = 16777216;  // 16 MiB on a serial port
inline constexpr uint64_t kSendLimit = 268435456;       // 256 MiB on the other kinds

// Whether a file of size bytes may be sent on a port of the work mode.
bool FileFitsSendLimit(uint64_t size, int workMode);

class CFileSender {
  public:
    explicit CFileSender(CEngineContext& context) : ctx_(context) {}

    // Sends the file; on success remembers it for ReSend and shows the
    // ReSend button. The write count; 0 when nothing was sent.
    int SendFile(const std::string& path);
    // Sends the last successfully sent file again.
    void ReSend();

  private:
    int SendWhole(const std::string& path);
    bool ReadBody(const std::string& path, std::string& bytes);
    std::string Convert(std::string bytes) const;

    CEngineContext& ctx_;
};

}  // namespace qelvor
