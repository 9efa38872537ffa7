#include "mainwnd/quick_sends.h"

namespace qelvor {

namespace {

constexpr const char* kShownKey = "QuickSendShown";

bool HoldsLineEnd(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::string CQuickSends::Encode(const QuickSend& button) {
    if (button.Empty()) return std::string();
    return button.name + '\t' + button.text;
}

QuickSend CQuickSends::Decode(const std::string& value) {
    const size_t tab = value.find('\t');
    if (tab == std::string::npos) return QuickSend{value, value};
    return QuickSend{value.substr(0, tab), value.substr(tab + 1)};
}

void CQuickSends::Load(const CComSetting& settings) {
    const std::string set = settings.GetCurrentSet();
    for (int i = 0; i < kCount; ++i)
        buttons_[static_cast<size_t>(i)] = Decode(settings.ReadProfileString(set, KeyOf(i), ""));
    shown_ = settings.ReadProfileInt(set, kShownKey, 0) != 0;
}

const QuickSend& CQuickSends::Button(int index) const {
    static const QuickSend kNone;
    if (index < 0 || index >= kCount) return kNone;
    return buttons_[static_cast<size_t>(index)];
}

bool CQuickSends::Set(int index, const QuickSend& button) {
    if (index < 0 || index >= kCount) return false;
    if (button.name.find('\t') != std::string::npos || HoldsLineEnd(button.name) ||
        HoldsLineEnd(button.text))
        return false;
    buttons_[static_cast<size_t>(index)] = button;
    return true;
}

bool CQuickSends::Store(const CComSetting& settings, int index) const {
    return settings.WriteProfileString(settings.GetCurrentSet(), KeyOf(index),
                                       Encode(Button(index)));
}

bool CQuickSends::SetShown(const CComSetting& settings, bool shown) {
    shown_ = shown;
    return settings.WriteProfileInt(settings.GetCurrentSet(), kShownKey, shown ? 1 : 0);
}

}  // namespace qelvor
