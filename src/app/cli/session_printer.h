// qelvor-cli --session FILE --print: a capture file's records written as
// record lines, one after the other, without opening any port. One thread.
#pragma once

#include "app/cli/cli_options.h"

namespace qelvor {

// The exit status: kExitOk, also when the reader of out goes away;
// kExitFailed when the file is no capture file or cannot be read. Bytes
// left out of a damaged file are told on err.
int PrintSession(const CCliOptions& options, int out, int err);

}  // namespace qelvor
