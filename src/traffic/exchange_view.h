// Whoever shows the traffic store and the send box: the window, the headless
// runner or a test recorder. Called on the user-interface thread.
#pragma once

#include <cstddef>
#include <string>

namespace qelvor {

class IExchangeView {
  public:
    virtual ~IExchangeView() = default;
    // The number of records changed (an append or a clearing).
    virtual void OnRecordCountChanged(size_t count) = 0;
    // Bring the newest record into view (ScrollRSWnd is on).
    virtual void ScrollToNewest() = 0;
    // The send box's text, read before each received block. The exchange
    // never writes the send box: what the user types stays as typed.
    virtual std::string GetSendText() = 0;
    // The "Buffer" box: the pending received bytes in notation.
    virtual void SetBufferText(const std::string& text) = 0;
};

}  // namespace qelvor
