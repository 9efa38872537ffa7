// Feeds random bytes, in random pieces and at random times, to an ASTM link
// in either role while it may be sending a message of its own, and splits
// every record it reassembles with the delimiters of its message. Checks
// that nothing crashes or hangs, that a reassembled record stays within the
// link's bound, that the frame parser's pieces add up, and that every frame
// the link writes carries a checksum the parser itself accepts.
//
// Input: one byte of flags (bit 0: host role, bit 1: send a message first),
// then blocks, each a one-byte time step in milliseconds, a one-byte length
// and up to that many bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "astm/astm_frame_parser.h"
#include "astm/astm_link.h"
#include "astm/astm_record.h"

namespace {

using qelvor::astm::AstmEvent;
using qelvor::astm::Millis;

class CheckingSink : public qelvor::astm::IAstmLinkSink {
  public:
    void SendBytes(const std::string& bytes) override {
        std::vector<AstmEvent> events;
        written_.Feed(bytes, events);
        for (const AstmEvent& event : events) {
            if (event.kind == AstmEvent::kFrame && !event.good) std::abort();
        }
    }
    void Note(const std::string& text) override {
        if (text.empty()) std::abort();
    }
    void RecordReceived(const std::string& record) override {
        if (record.size() > qelvor::astm::CAstmLink::kMaxRecordBytes) std::abort();
        std::string why;
        const auto split = qelvor::astm::CAstmRecord::SplitInMessage(record, delimiters_, why);
        if (!record.empty() && split.Type() != record[0]) std::abort();
    }
    void MessageDone(bool) override {}

  private:
    qelvor::astm::CAstmFrameParser written_;
    qelvor::astm::AstmDelimiters delimiters_;
};

// Every byte fed ends up in exactly one event: a control character, a frame
// (STX, number, text, terminator, checksum, CR LF) or dropped garbage. A
// frame may end without its CR LF only when a control character cut it.
void CheckParserAccounts(const std::string& bytes) {
    qelvor::astm::CAstmFrameParser parser;
    std::vector<AstmEvent> events;
    parser.Feed(bytes, events);
    parser.Flush(events);
    size_t accounted = 0;
    for (const AstmEvent& event : events) {
        if (event.kind == AstmEvent::kFrame) {
            if (event.text.size() > qelvor::astm::CAstmFrameParser::kMaxFrameBytes) std::abort();
            if (event.good && event.received.size() != 2) std::abort();
            accounted += event.text.size();
        } else if (event.kind == AstmEvent::kGarbage) {
            if (event.dropped == 0) std::abort();
            accounted += event.dropped;
        } else {
            accounted += 1;
        }
    }
    if (accounted > bytes.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t flags = data[0];
    size_t at = 1;

    qelvor::astm::AstmLinkSettings settings;
    settings.host = (flags & 1) != 0;
    settings.replyTimeout = Millis(40);
    settings.idleTimeout = Millis(80);
    settings.enqRetry = Millis(20);
    settings.contentionRetry = Millis(10);
    CheckingSink sink;
    qelvor::astm::CAstmLink link(settings, sink);
    Millis now(0);
    if (flags & 2) link.Send({"H|\\^&", std::string(300, 'R'), "L|1|N"}, now);

    std::string all;
    while (at + 2 <= size) {
        now += Millis(data[at]);
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        const std::string block(reinterpret_cast<const char*>(data + at + 2), length);
        at += 2 + length;
        link.OnTick(now);
        link.OnBytes(block, now);
        all += block;
    }
    link.OnTick(now + Millis(1000));
    CheckParserAccounts(all);
    return 0;
}
