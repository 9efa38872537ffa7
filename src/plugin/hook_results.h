// What the script plug-in's hook entry points (fnOnFrameMsg, fnOnTimerMsg)
// return besides the length of an answer (above 0). Shared by the host and
// the plug-in; plain constants, any thread.
#pragma once

namespace qelvor {

// The script returned nil: the frame takes its usual course.
inline constexpr int kHookPassed = 0;
// The script failed; fnLastError tells why.
inline constexpr int kHookFailed = -1;
// The script returned an empty string: it took the frame and sends nothing.
inline constexpr int kHookSilent = -2;
// The script defines no such function.
inline constexpr int kHookMissing = -3;

}  // namespace qelvor
