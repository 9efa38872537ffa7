#include "plugin/plugin_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "plugin/hook_results.h"

namespace qelvor {

namespace {

constexpr size_t kInitialBufferSize = 1048576;
// A plug-in may ask for a larger buffer through its result; beyond this size
// the request is taken as a faulty result rather than honoured.
constexpr size_t kMaxBufferSize = size_t{256} * 1024 * 1024;

template <typename Fn>
Fn Resolve(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
}

}  // namespace

// The buffer is taken on first use: a host without a plug-in never needs it.
CPluginHost::CPluginHost() = default;

CPluginHost::~CPluginHost() {
    FreePlugin();
}

int CPluginHost::LoadPlugin(const std::string& folder, bool reload) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (library_ != nullptr && !reload) return 1;
    if (library_ != nullptr) UnloadLibrary();
    library_ = dlopen((folder + kPluginLibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr && !folder.empty()) {
        const std::string installed = folder + kInstalledPluginFolder + kPluginLibraryName;
        library_ = dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (library_ == nullptr) return 0;
    initEvn_ = Resolve<InitEvnFn>(library_, "fnInitEvn");
    fmtMsg_ = Resolve<FmtMsgFn>(library_, "fnFmtMsg");
    getMsg_ = Resolve<GetMsgFn>(library_, "fnGetMsg");
    msgSize_ = Resolve<MsgSizeFn>(library_, "fnMsgSize");
    lastError_ = Resolve<LastErrorFn>(library_, "fnLastError");
    onFrameMsg_ = Resolve<OnFrameMsgFn>(library_, "fnOnFrameMsg");
    onTimerMsg_ = Resolve<OnTimerMsgFn>(library_, "fnOnTimerMsg");
    // A library without every entry point stays loaded, and fnInitEvn is not
    // called; FormatMsg still runs when its own three entry points exist.
    if (initEvn_ == nullptr || fmtMsg_ == nullptr || getMsg_ == nullptr || msgSize_ == nullptr) {
        return 0;
    }
    initResult_ = initEvn_();
    return 1;
}

int CPluginHost::FormatMsg(std::string& text) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    errorText_.clear();
    if (fmtMsg_ == nullptr || getMsg_ == nullptr || msgSize_ == nullptr) return 0;
    if (text.size() > static_cast<size_t>(INT_MAX) - 10) return 0;
    EnsureBuffer(text.size() + 10);
    if (!text.empty()) std::memcpy(buffer_.data(), text.data(), text.size());
    // The plug-in gets a copy of the size: whatever it writes there, the
    // host keeps using the size it really allocated.
    int bufferSize = BufferSize();
    const int r = fmtMsg_(buffer_.data(), static_cast<int>(text.size()), &bufferSize);
    if (r < 0) {
        FetchErrorText();
        return 0;
    }
    if (r == 0) return 1;
    if (r < BufferSize()) {
        text.assign(buffer_.data(), static_cast<size_t>(r));
        return 1;
    }
    return FetchLargeResult(text, r);
}

CPluginHost::HookResult CPluginHost::OnFrame(char type, std::string_view bytes,
                                             std::string& answer) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    errorText_.clear();
    answer.clear();
    if (onFrameMsg_ == nullptr || getMsg_ == nullptr) return HookResult::Missing;
    if (bytes.size() > static_cast<size_t>(INT_MAX)) {
        errorText_ = "the frame is longer than 2 GiB";
        return HookResult::Failed;
    }
    EnsureBuffer(0);
    int bufferSize = BufferSize();
    return TakeHookResult(onFrameMsg_(type, bytes.data(), static_cast<int>(bytes.size()),
                                      buffer_.data(), &bufferSize),
                          answer);
}

CPluginHost::HookResult CPluginHost::OnTimer(std::string& answer) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    errorText_.clear();
    answer.clear();
    if (onTimerMsg_ == nullptr || getMsg_ == nullptr) return HookResult::Missing;
    EnsureBuffer(0);
    int bufferSize = BufferSize();
    return TakeHookResult(onTimerMsg_(buffer_.data(), &bufferSize), answer);
}

CPluginHost::HookResult CPluginHost::TakeHookResult(int result, std::string& answer) {
    if (result == kHookPassed) return HookResult::Passed;
    if (result == kHookSilent) return HookResult::Answered;
    if (result == kHookMissing) return HookResult::Missing;
    if (result < 0) {
        FetchErrorText();
        return HookResult::Failed;
    }
    if (result < BufferSize()) {
        answer.assign(buffer_.data(), static_cast<size_t>(result));
        return HookResult::Answered;
    }
    if (FetchLargeResult(answer, result) > 0) return HookResult::Answered;
    if (errorText_.empty())
        errorText_ = "the answer of " + std::to_string(result) + " bytes was lost";
    return HookResult::Failed;
}

int CPluginHost::FetchLargeResult(std::string& text, int needed) {
    const size_t wanted = static_cast<size_t>(needed) + 10;
    if (wanted > kMaxBufferSize) return 0;
    if (buffer_.size() < wanted) buffer_.resize(wanted);
    const int g = getMsg_(buffer_.data(), BufferSize());
    if (g <= 0) {
        FetchErrorText();
        return 0;
    }
    // A length beyond the buffer would make us read memory we do not own.
    if (g > BufferSize()) return 0;
    text.assign(buffer_.data(), static_cast<size_t>(g));
    return g;
}

void CPluginHost::FetchErrorText() {
    if (lastError_ == nullptr) return;
    char text[4096];
    const int length = lastError_(text, static_cast<int>(sizeof text));
    if (length > 0) errorText_.assign(text, std::min(static_cast<size_t>(length), sizeof text));
}

std::string CPluginHost::TakeErrorText() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    std::string text;
    text.swap(errorText_);
    return text;
}

void CPluginHost::EnsureBuffer(size_t size) {
    if (buffer_.size() < kInitialBufferSize) buffer_.resize(kInitialBufferSize);
    if (buffer_.size() < size) buffer_.resize(size);
}

int CPluginHost::BufferSize() const {
    return buffer_.size() > static_cast<size_t>(INT_MAX) ? INT_MAX
                                                         : static_cast<int>(buffer_.size());
}

void CPluginHost::UnloadLibrary() {
    initEvn_ = nullptr;
    fmtMsg_ = nullptr;
    getMsg_ = nullptr;
    msgSize_ = nullptr;
    lastError_ = nullptr;
    onFrameMsg_ = nullptr;
    onTimerMsg_ = nullptr;
    if (library_ != nullptr) dlclose(library_);
    library_ = nullptr;
    initResult_ = 0;
}

void CPluginHost::FreePlugin() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    UnloadLibrary();
    buffer_.clear();
    buffer_.shrink_to_fit();
}

}  // namespace qelvor
