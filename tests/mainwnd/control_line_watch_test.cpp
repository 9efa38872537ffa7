#include "mainwnd/control_line_watch.h"

#include <string>
#include <vector>

#include "mainwnd/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

using std::chrono::milliseconds;
using StreamPort::ControlRequest;
using Clock = CControlLineWatch::Clock;

// A port of the tests whose modem lines are whatever the test sets: the
// levels a device would report, and every request that reached it. It
// carries no data; the watch reads nothing else of it.
class ScriptedLinesPort : public StreamPort::CStreamPort {
  public:
    int SetComParam(int, int, const char*) override { return 1; }
    int SetNetParam(int, int, uint32_t) override { return 1; }
    int Open() override { return 1; }
    int IsOpen() override { return 1; }
    int Close() override { return 1; }
    void SetFormat(uint8_t, uint8_t, uint8_t) override {}
    const char* GetDescription() override { return nullptr; }
    int GetState(int) override { return 1; }
    int WaitForData(int) override { return 0; }
    int Read(char*, int) override { return 0; }
    int WriteString(const std::string&) override { return 0; }
    int Write(const char*, int) override { return 0; }
    int ControlLines(ControlRequest request, int& lines) override {
        requests.push_back(request);
        if (answer != StreamPort::kLinesDone) return answer;
        if (request == ControlRequest::GetLines) {
            ++reads;
            lines = levels;
        }
        if (request == ControlRequest::SetDtr) levels |= StreamPort::kLineDtr;
        if (request == ControlRequest::ClearDtr) levels &= ~StreamPort::kLineDtr;
        if (request == ControlRequest::SetRts) levels |= StreamPort::kLineRts;
        if (request == ControlRequest::ClearRts) levels &= ~StreamPort::kLineRts;
        return StreamPort::kLinesDone;
    }

    int levels = 0;
    int answer = StreamPort::kLinesDone;
    int reads = 0;
    std::vector<ControlRequest> requests;
};

class LineWatch : public testing::Test {
  protected:
    LineWatch() : ctx(settings, view), watch(ctx) {}

    Lines InfoRecords() const {
        Lines found;
        for (const CMsgRecord& record : ctx.exchange.Records())
            if (record.Type() == 'I') found.push_back(record.Data());
        return found;
    }
    const ControlLineState& State() const { return ctx.state.controlLines; }

    CComSetting settings;
    RecordingView view;
    CEngineContext ctx;
    CControlLineWatch watch;
    ScriptedLinesPort port;
    const Clock::time_point t0 = Clock::now();
};

TEST_F(LineWatch, InputChangesBecomeRecordsAtMostEvery50Ms) {
    port.levels = StreamPort::kLineCts | StreamPort::kLineDtr;
    watch.Start(port, t0);
    EXPECT_TRUE(State().shown);
    EXPECT_TRUE(State().available);
    EXPECT_EQ(State().lines, port.levels);
    EXPECT_TRUE(InfoRecords().empty());  // the levels found at open are no change
    EXPECT_NE(view.changes & kChangedLines, 0u);

    port.levels = StreamPort::kLineDsr | StreamPort::kLineDcd | StreamPort::kLineRi;
    watch.OnIdleTick(t0 + milliseconds(49));
    EXPECT_EQ(port.reads, 1);  // too soon: not read
    watch.OnIdleTick(t0 + milliseconds(50));
    EXPECT_EQ(port.reads, 2);
    // A DTR that changed outside (the driver's flow control) is shown, not
    // recorded: only what the program set is.
    EXPECT_EQ(InfoRecords(), (Lines{"CTS off", "DSR on", "DCD on", "RI on"}));
    EXPECT_EQ(State().lines, port.levels);
    watch.OnIdleTick(t0 + milliseconds(120));
    EXPECT_EQ(InfoRecords().size(), 4u);  // unchanged levels: nothing more
}

TEST_F(LineWatch, OutputsAreRecordedAsSetAndBreakEndsAfter250MsAtATick) {
    watch.Start(port, t0);
    EXPECT_TRUE(watch.SetDtr(false));
    EXPECT_TRUE(watch.SetRts(true));
    EXPECT_EQ(State().lines, StreamPort::kLineRts);
    EXPECT_EQ(port.levels, StreamPort::kLineRts);
    EXPECT_TRUE(watch.SendBreak(t0));
    EXPECT_TRUE(State().breakOn);
    EXPECT_FALSE(watch.SendBreak(t0 + milliseconds(10)));  // one at a time
    watch.OnTick(t0 + milliseconds(249));
    EXPECT_TRUE(State().breakOn);
    watch.OnTick(t0 + milliseconds(250));
    EXPECT_FALSE(State().breakOn);
    EXPECT_EQ(InfoRecords(), (Lines{"DTR off", "RTS on", "Break on", "Break off"}));
    const size_t offs =
        std::count(port.requests.begin(), port.requests.end(), ControlRequest::BreakOff);
    EXPECT_EQ(offs, 1u);
    // Closing during a break ends it on the line first.
    EXPECT_TRUE(watch.SendBreak(t0 + milliseconds(300)));
    watch.Stop();
    EXPECT_EQ(port.requests.back(), ControlRequest::BreakOff);
    EXPECT_FALSE(State().shown);
    EXPECT_FALSE(State().breakOn);
    EXPECT_FALSE(watch.SetDtr(true));  // stopped: the port is not asked
    EXPECT_EQ(port.requests.back(), ControlRequest::BreakOff);
}

TEST_F(LineWatch, APortWithoutLinesIsShownSoAndNeverAskedAgain) {
    port.answer = StreamPort::kLinesNotAvailable;
    watch.Start(port, t0);
    EXPECT_TRUE(State().shown);
    EXPECT_FALSE(State().available);
    const size_t asked = port.requests.size();
    watch.OnIdleTick(t0 + milliseconds(100));
    EXPECT_FALSE(watch.SetDtr(true));
    EXPECT_FALSE(watch.SendBreak(t0 + milliseconds(100)));
    EXPECT_EQ(port.requests.size(), asked);
    EXPECT_TRUE(InfoRecords().empty());
    // A device that failed keeps its last levels and records nothing.
    port.answer = StreamPort::kLinesDone;
    port.levels = StreamPort::kLineCts;
    watch.Start(port, t0);
    port.answer = StreamPort::kLinesFailed;
    port.levels = 0;
    watch.OnIdleTick(t0 + milliseconds(100));
    EXPECT_EQ(State().lines, StreamPort::kLineCts);
    EXPECT_TRUE(State().available);
    EXPECT_FALSE(watch.SetRts(true));
    EXPECT_TRUE(InfoRecords().empty());
}

// The engine over a real pty: the lines say "not available", every command
// is refused, nothing fails, whatever DtrOnOpen and RtsOnOpen ask for.
class EngineLinesOnPty : public EngineTest, public testing::WithParamInterface<int> {};

TEST_P(EngineLinesOnPty, ShowsNotAvailableAndKeepsWorking) {
    testing_support::PtyDevice pty;
    settings.DtrOnOpen = GetParam() & 1;
    settings.RtsOnOpen = GetParam() >> 1;
    OpenSerial(pty.path);
    ASSERT_EQ(State().shownStatusCode, 1) << State().pane0ToolTip;
    EXPECT_TRUE(State().controlLines.shown);
    EXPECT_FALSE(State().controlLines.available);
    EXPECT_FALSE(Engine().SetDtr(false));
    EXPECT_FALSE(Engine().SetRts(false));
    EXPECT_FALSE(Engine().SendBreak());
    ASSERT_TRUE(pty.Feed("A\r\n"));
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('R').size() == 1; }));
    EXPECT_TRUE(RecordsOf('I').empty());
    EXPECT_EQ(State().shownStatusCode, 1);
    Engine().OnClosePort();
    EXPECT_FALSE(State().controlLines.shown);
}

INSTANTIATE_TEST_SUITE_P(DtrRtsAtOpen, EngineLinesOnPty, testing::Range(0, 4));

}  // namespace
}  // namespace qelvor::test
