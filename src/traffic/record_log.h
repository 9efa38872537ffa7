// Whoever keeps the continuous log of the traffic store's records.
#pragma once

namespace qelvor {

class CMsgRecord;

class IRecordLog {
  public:
    virtual ~IRecordLog() = default;
    // Called on the user-interface thread for every appended record while
    // AutoSaveLog is on; must not touch the disk on the caller's thread.
    virtual void LogRecord(const CMsgRecord& record) = 0;
};

}  // namespace qelvor
