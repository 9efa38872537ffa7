// What a link under test sends and reports, kept for the test to compare.
// Used on the test's thread only.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "astm/astm_link.h"
#include "data/ctrl_char_notation.h"

namespace qelvor::astm {

struct LinkRecorder : IAstmLinkSink {
    void SendBytes(const std::string& bytes) override { sent += bytes; }
    void Note(const std::string& text) override { notes.push_back(text); }
    void RecordReceived(const std::string& record) override { records.push_back(record); }
    void MessageDone(bool allAcknowledged) override { results.push_back(allAcknowledged); }
    // The bytes sent since the last call, in notation.
    std::string TakeSent() { return EscapeCtrlChars(std::exchange(sent, {})); }

    std::string sent;
    std::vector<std::string> notes, records;
    std::vector<bool> results;
};

}  // namespace qelvor::astm
