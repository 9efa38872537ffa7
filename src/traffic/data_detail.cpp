#include "traffic/data_detail.h"

#include <utility>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "data/ctrl_char_notation.h"
#include "data/display_format.h"
#include "data/text_encoding.h"

namespace qelvor {

namespace {

constexpr int kTitleStringId = kStrMessageDetail;

bool IsValidView(int view) {
    return view >= CDataDetail::kRaw && view <= CDataDetail::kHex;
}

}  // namespace

CDataDetail::CDataDetail() : record_(0, std::string()) {}

CDataDetail::CDataDetail(CMsgRecord record) : record_(std::move(record)) {}

CDataDetail::CDataDetail(const CRecordStore& records, size_t index, GapScope scope)
    : record_(records[index]), gap_(MillisSincePrevious(records, index, scope)) {}

int CDataDetail::ViewOf(const CComSetting& settings) {
    return IsValidView(settings.ShowDataMask) ? settings.ShowDataMask : kRaw;
}

bool CDataDetail::StoreView(CComSetting& settings, int view) {
    if (!IsValidView(view)) view = kRaw;
    settings.ShowDataMask = view;
    return settings.WriteKey(SettingKey::ShowDataMask);
}

std::string CDataDetail::Title() const {
    return TitleFor(record_.Time());
}

std::string CDataDetail::TitleFor(const SystemTime& time) {
    return LoadStr(kTitleStringId) + StrPrintf("       %04d-%02d-%02d %02d:%02d:%02d.%03d",
                                               time.wYear, time.wMonth, time.wDay, time.wHour,
                                               time.wMinute, time.wSecond, time.wMilliseconds);
}

std::string CDataDetail::TypeText() const {
    // The type byte as a character; a record without a type shows nothing,
    // as a zero-terminated "%c" would.
    if (record_.Type() == 0) return std::string();
    return std::string(1, record_.Type());
}

std::string CDataDetail::SizeText() const {
    return std::to_string(record_.Data().size());
}

bool CDataDetail::HasHighByte(std::string_view data) {
    for (const char c : data) {
        if (static_cast<unsigned char>(c) > 0x8F) return true;
    }
    return false;
}

std::string CDataDetail::ViewText(int view, bool decode) const {
    const std::string& data = record_.Data();
    if (view == kHex) return FormatHexDump(data);
    const std::string shown = decode ? DecodeUtf8ToAnsi(data) : data;
    if (view != kRaw) return EscapeCtrlChars(shown);
    // The raw view is plain text and ends at the first zero byte.
    return shown.substr(0, shown.find('\0'));
}

std::optional<astm::AstmTreeNode> CDataDetail::AstmTree() const {
    if (!astm_) return std::nullopt;
    const auto text = astm::AstmRecordTextOf(record_.Type(), record_.Data());
    if (!text || text->empty()) return std::nullopt;
    return astm::AstmRecordTree(*text, *astm_);
}

std::optional<hl7::Hl7TreeNode> CDataDetail::Hl7Tree() const {
    if (!hl7_) return std::nullopt;
    const auto text = hl7::Hl7MessageTextOf(record_.Type(), record_.Data());
    if (!text) return std::nullopt;
    std::string why;
    const auto message = hl7::CHl7Message::Parse(*text, why);
    if (!message) return std::nullopt;
    return hl7::Hl7MessageTree(*message);
}

}  // namespace qelvor
