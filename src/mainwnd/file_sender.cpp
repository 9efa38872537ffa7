#include "mainwnd/file_sender.h"

#include <algorithm>

#include "config/string_table.h"
#include "data/ctrl_char_notation.h"
#include "data/text_encoding.h"
#include "mainwnd/regular_file.h"
#include "mainwnd/send_operations.h"

namespace qelvor {

namespace {

constexpr size_t kReadChunk = 65536;
constexpr double kMiB = 1048576.0;

}  // namespace

bool FileFitsSendLimit(uint64_t size, int workMode) {
    return size <= (workMode == kWorkModeSerial ? kSerialSendLimit : kSendLimit);
}

bool CFileSender::ReadBody(const std::string& path, std::string& bytes) {
    CRegularFile file;
    if (!file.Open(path)) return false;
    if (!FileFitsSendLimit(file.Size(), ctx_.settings.WorkMode)) {
        ctx_.Tell(StrPrintf(LoadStr(21061), path.c_str(), static_cast<double>(file.Size()) / kMiB),
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

int CFileSender::SendWhole(const std::string& path) {
    std::string bytes;
    if (!ReadBody(path, bytes)) return 0;
    // A sent file is not recorded; only a failure or a partial write leaves a
    // trace.
    const std::string converted = Convert(std::move(bytes));
    const int result = ctx_.exchange.SendBytes(converted, false);
    if (result < 1) {
        ctx_.exchange.AddRecord('I', StrPrintf("SendFile<%s>,but error!", path.c_str()));
        ExplainSendFailure(ctx_);
    } else if (static_cast<size_t>(result) < converted.size()) {
        ctx_.exchange.AddRecord(
            'I', CMsgExchange::UnsentText("SendFile<" + path + ">", result, converted.size()));
    }
    return result;
}

int CFileSender::SendFile(const std::string& path) {
    const int result = SendWhole(path);
    if (result <= 0) return result;
    ctx_.state.lastSentFilePath = path;
    ButtonState& resend = ctx_.state.Button(kIdReSend);
    resend.visible = true;
    resend.toolTip = std::string(LoadStr(21050)) + path;
    ctx_.Changed(kChangedButtons);
    return result;
}

void CFileSender::ReSend() {
    if (ctx_.state.lastSentFilePath.empty()) return;
    SendWhole(ctx_.state.lastSentFilePath);
}

}  // namespace qelvor
