#include "mainwnd/capture_sessions.h"

#include "config/app_paths.h"
#include "mainwnd/engine_context.h"

namespace qelvor {

std::string CCaptureSessions::Folder() const {
    return SessionsDir(ctx_.settings.ExeDir);
}

void CCaptureSessions::Start() {
    ctx_.exchange.Store().StartSession(Folder(), ctx_.settings.KeepSessions != 0);
    ReportNotes();
}

void CCaptureSessions::Tick() {
    ctx_.exchange.FlushStore();
}

void CCaptureSessions::ReportNotes() {
    ctx_.exchange.FlushStore();
    ctx_.Changed(kChangedRecords);
}

bool CCaptureSessions::Open(const std::string& path) {
    const bool opened = ctx_.exchange.Store().OpenSession(path);
    ReportNotes();
    return opened;
}

void CCaptureSessions::ResumeLive() {
    if (ctx_.exchange.Records().ReadOnly()) ctx_.exchange.ClearAll();
}

void CCaptureSessions::Keep(bool keep) {
    ctx_.exchange.Store().SetKeep(keep);
}

bool CCaptureSessions::Kept() const {
    return ctx_.exchange.Records().Keep();
}

std::vector<LeftSession> CCaptureSessions::Left() const {
    return FindLeftSessions(Folder());
}

}  // namespace qelvor
