#include "mainwnd/file_sender.h"

#include <algorithm>
#include <chrono>

#include "config/string_table.h"
#include "data/ctrl_char_notation.h"
#include "data/text_encoding.h"
#include "mainwnd/port_control.h"
#include "mainwnd/regular_file.h"
#include "mainwnd/send_operations.h"

namespace qelvor {

namespace {

constexpr size_t kReadChunk = 65536;
constexpr double kMiB = 1048576.0;
// The most one poll tick offers the socket; it takes what it has room for.
constexpr size_t kPieceLimit = 4 * 1048576;
// A serial line that takes nothing for this long is stalled or gone.
constexpr std::chrono::milliseconds kSerialStallLimit{5000};

}  // namespace

bool FileFitsSendLimit(uint64_t size, int workMode) {
    return size <= (workMode == kWorkModeSerial ? kSerialSendLimit : kSendLimit);
}

bool CFileSender::ReadBody(const std::string& path, std::string& bytes) {
    CRegularFile file;
    if (!file.Open(path)) return false;
    if (!FileFitsSendLimit(file.Size(), ctx_.settings.WorkMode)) {
        ctx_.Tell(StrPrintf(LoadStr(kStrFileTooLargeToSend), path.c_str(),
                            static_cast<double>(file.Size()) / kMiB),
                  MsgIcon::Exclamation);
        return false;
    }
    uint64_t offset = 0;
    if (ctx_.settings.NoSendFileBOM != 0) {
        // The mark test needs four bytes; a shorter file is sent whole.
        char head[4];
        if (file.Read(head, sizeof head) == sizeof head) {
            offset = static_cast<uint64_t>(DetectTextEncoding(std::string_view(head, 4)));
        }
        if (!file.Seek(offset)) return false;
    }
    const size_t expected = static_cast<size_t>(file.Size() - offset);
    bytes.resize(expected);
    size_t done = 0;
    while (done < expected) {
        const size_t ask = std::min(kReadChunk, expected - done);
        const size_t got = file.Read(bytes.data() + done, ask);
        done += got;
        if (got < ask) break;
    }
    return done == expected;
}

std::string CFileSender::Convert(std::string bytes) const {
    switch (ctx_.settings.SendFileFMT) {
        case 1:
            return UnescapeCtrlChars(bytes);
        case 2:
            return HexTextToBytes(bytes);
        default:
            return bytes;
    }
}

// A send under way: the converted bytes and how many went out.
struct CFileSender::Job {
    std::string path;
    std::string bytes;
    size_t sent = 0;
    std::chrono::steady_clock::time_point lastProgress = std::chrono::steady_clock::now();
};

CFileSender::CFileSender(CEngineContext& context, CPortControl& ports)
    : ctx_(context), ports_(ports) {}

CFileSender::~CFileSender() = default;

int CFileSender::SendWhole(const std::string& path) {
    if (job_) {
        ctx_.exchange.AddRecord('I', "SendFile<" + path + ">: another file is still being sent");
        return 0;
    }
    std::string bytes;
    if (!ReadBody(path, bytes)) return 0;
    std::string converted = Convert(std::move(bytes));
    if (!ports_.WritesInPieces() || converted.empty()) {
        const int result = ctx_.exchange.SendBytes(converted, false);
        if (result > 0) CountSent(std::min(static_cast<size_t>(result), converted.size()));
        Finish(path, result, converted.size(), true);
        return result;
    }
    const size_t total = converted.size();
    job_ = std::make_unique<Job>(Job{path, std::move(converted), 0});
    ctx_.exchange.HoldSends(true);
    // What the socket takes at once goes now: a small file ends here.
    const int taken = SendPiece();
    if (taken >= 0 && job_->sent < total) {
        ShowProgress();
        return static_cast<int>(total);
    }
    const int result = static_cast<int>(job_->sent);
    FinishJob();
    return result;
}

int CFileSender::SendPiece() {
    // Bytes sent before the file still wait: they go first, and the file's
    // own stall limit starts once they are out.
    if (!ctx_.exchange.Outgoing().Empty()) {
        job_->lastProgress = std::chrono::steady_clock::now();
        return 0;
    }
    const size_t left = job_->bytes.size() - job_->sent;
    const int ask = static_cast<int>(std::min(left, kPieceLimit));
    const int taken = ports_.TryWrite(job_->bytes.data() + job_->sent, ask);
    if (taken > 0) {
        CountSent(static_cast<size_t>(taken));
        job_->sent += static_cast<size_t>(taken);
        job_->lastProgress = std::chrono::steady_clock::now();
    }
    return taken;
}

void CFileSender::PollSend() {
    if (!job_) return;
    const int taken = SendPiece();
    if (taken < 0 || job_->sent == job_->bytes.size() || SerialStalled()) {
        FinishJob();
        return;
    }
    if (taken > 0) ShowProgress();
}

bool CFileSender::SerialStalled() const {
    return ctx_.settings.WorkMode == kWorkModeSerial &&
           std::chrono::steady_clock::now() - job_->lastProgress >= kSerialStallLimit;
}

void CFileSender::StopForClose() {
    if (job_) FinishJob();
}

void CFileSender::ShowProgress() {
    const double total = static_cast<double>(job_->bytes.size());
    if (total <= kMiB) return;
    const double sent = static_cast<double>(job_->sent);
    ctx_.SetPane(1, StrPrintf("SendFile %d%% (%.1f of %.1f MB)",
                              static_cast<int>(sent * 100 / total), sent / kMiB, total / kMiB));
}

void CFileSender::FinishJob() {
    const std::unique_ptr<Job> job = std::move(job_);
    if (static_cast<double>(job->bytes.size()) > kMiB) ctx_.SetPane(1, std::string());
    // A connection lost midway already shows in the port status.
    Finish(job->path, static_cast<int>(job->sent), job->bytes.size(), false);
    // The sends that waited behind the file go out now, in their order.
    ctx_.exchange.HoldSends(false);
}

void CFileSender::CountSent(size_t bytes) {
    ctx_.exchange.Stats().OnBytesSent(bytes, CTrafficStats::Clock::now());
}

void CFileSender::Finish(const std::string& path, int result, size_t total, bool explain) {
    // The file's bytes are not listed as a sent record; one information
    // record tells how far the send got.
    if (result < 1) {
        ctx_.exchange.AddRecord('I', StrPrintf("SendFile<%s>,but error!", path.c_str()));
        if (explain) ExplainSendFailure(ctx_);
        return;
    }
    const std::string what = "SendFile<" + path + ">";
    ctx_.exchange.AddRecord('I', static_cast<size_t>(result) < total
                                     ? CMsgExchange::UnsentText(what, result, total)
                                     : what + ": " + std::to_string(total) + " bytes sent");
    ctx_.state.lastSentFilePath = path;
    ButtonState& resend = ctx_.state.Button(kIdReSend);
    resend.visible = true;
    resend.toolTip = std::string(LoadStr(kStrResendFile)) + path;
    ctx_.Changed(kChangedButtons);
}

int CFileSender::SendFile(const std::string& path) {
    return SendWhole(path);
}

void CFileSender::ReSend() {
    if (ctx_.state.lastSentFilePath.empty()) return;
    SendWhole(ctx_.state.lastSentFilePath);
}

}  // namespace qelvor
