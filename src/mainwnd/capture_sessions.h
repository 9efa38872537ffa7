// The engine's capture files: the live one each run writes its records to,
// whether it is kept at the end, the ones a crash left behind, and opening
// one read-only in the traffic store. Engine thread only.
#pragma once

#include <string>
#include <vector>

#include "traffic/left_sessions.h"

namespace qelvor {

struct CEngineContext;

class CCaptureSessions {
  public:
    explicit CCaptureSessions(CEngineContext& ctx) : ctx_(ctx) {}

    // Starts the run's capture file in the sessions folder; KeepSessions
    // says whether it stays when the run ends. Without a file the store
    // keeps the newest records in memory, and an 'I' record says why.
    void Start();
    // The tick: the records appended since the last one go to the file.
    void Tick();
    // Shows a capture file read-only in the store; an 'I' record tells a
    // failure or the bytes left out of a damaged file.
    bool Open(const std::string& path);
    // Back to a live capture file after an opened one (the port opens).
    void ResumeLive();
    void Keep(bool keep);
    bool Kept() const;
    // Capture files of earlier runs that were not ended, oldest first.
    std::vector<LeftSession> Left() const;
    std::string Folder() const;

  private:
    void ReportNotes();

    CEngineContext& ctx_;
};

}  // namespace qelvor
