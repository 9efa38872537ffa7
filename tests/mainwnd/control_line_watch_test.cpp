#include "mainwnd/control_line_watch.h"

#include <algorithm>
#include <vector>

#include "mainwnd/engine_fixture.h"
#include "support/pty_pair.h"

namespace qelvor::test {
namespace {

using std::chrono::milliseconds;
using StreamPort::ControlRequest;
namespace sp = StreamPort;

// A port (a UDP port never opened, for the rest of the interface) whose
// modem lines are the levels the test sets, as a device would report them.
class ScriptedLinesPort : public sp::CUDPPort {
  public:
    int ControlLines(ControlRequest request, int& lines) override {
        requests.push_back(request);
        if (answer != sp::kLinesDone) return answer;
        if (request == ControlRequest::GetLines) lines = levels;
        return sp::kLinesDone;
    }
    int levels = 0;
    int answer = sp::kLinesDone;
    std::vector<ControlRequest> requests;
};

class LineWatch : public testing::Test {
  protected:
    Lines Records() const {
        Lines found;
        for (const CMsgRecord& record : ctx.exchange.Records())
            found.push_back(std::string(1, record.Type()) + record.Data());
        return found;
    }
    CComSetting settings;
    RecordingView view;
    CEngineContext ctx{settings, view};
    CControlLineWatch watch{ctx};
    ScriptedLinesPort port;
    const ControlLineState& lines = ctx.state.controlLines;
    const CControlLineWatch::Clock::time_point t0 = CControlLineWatch::Clock::now();
};

TEST_F(LineWatch, InputChangesBecomeRecordsAtMostEvery50Ms) {
    port.levels = sp::kLineCts | sp::kLineDtr;
    watch.Start(port, t0);
    EXPECT_TRUE(lines.shown && lines.available);
    EXPECT_EQ(lines.lines, port.levels);
    port.levels = sp::kLineDsr | sp::kLineDcd | sp::kLineRi;
    watch.OnIdleTick(t0 + milliseconds(49));
    EXPECT_EQ(port.requests.size(), 1u);  // too soon: not read
    watch.OnIdleTick(t0 + milliseconds(50));
    // The levels found at open are no change; a DTR changed by the driver
    // is shown, not recorded: outputs are recorded as the program sets them.
    EXPECT_EQ(Records(), (Lines{"ICTS off", "IDSR on", "IDCD on", "IRI on"}));
    EXPECT_EQ(lines.lines, port.levels);
    EXPECT_NE(view.changes & kChangedLines, 0u);
}

TEST_F(LineWatch, OutputsAreRecordedAsSetAndABreakEnds250MsLaterAtATick) {
    watch.Start(port, t0);
    EXPECT_TRUE(watch.SetDtr(false) && watch.SetRts(true));
    EXPECT_EQ(lines.lines, sp::kLineRts);
    EXPECT_TRUE(watch.SendBreak(t0));
    EXPECT_FALSE(watch.SendBreak(t0 + milliseconds(10)));  // one at a time
    watch.OnTick(t0 + milliseconds(249));
    EXPECT_TRUE(lines.breakOn);
    watch.OnTick(t0 + milliseconds(250));
    watch.OnTick(t0 + milliseconds(260));
    EXPECT_EQ(Records(), (Lines{"IDTR off", "IRTS on", "IBreak on", "IBreak off"}));
    // Closing during a break ends it on the line first.
    EXPECT_TRUE(watch.SendBreak(t0 + milliseconds(300)));
    watch.Stop();
    EXPECT_FALSE(watch.SetRts(false));  // stopped: the port is not asked
    EXPECT_FALSE(lines.shown || lines.breakOn);
    EXPECT_EQ(std::count(port.requests.begin(), port.requests.end(), ControlRequest::BreakOff), 2);
    EXPECT_EQ(port.requests.back(), ControlRequest::BreakOff);
}

TEST(ControlLines, ClosedSerialPortsFailAndNetworkPortsHaveNone) {
    int bits = 0x55;
    EXPECT_EQ(sp::CSerialPort().ControlLines(ControlRequest::SetDtr, bits), sp::kLinesFailed);
    EXPECT_EQ(sp::CTCPPort().ControlLines(ControlRequest::GetLines, bits), sp::kLinesNotAvailable);
    EXPECT_EQ(sp::CUDPPort().ControlLines(ControlRequest::BreakOn, bits), sp::kLinesNotAvailable);
    EXPECT_EQ(bits, 0x55);
}

// The engine over a real pty, with DtrOnOpen and RtsOnOpen 0 and 1: it
// opens, says "not available", refuses the commands and keeps receiving.
class EngineLinesOnPty : public EngineTest, public testing::WithParamInterface<int> {};

TEST_P(EngineLinesOnPty, ShowsNotAvailableAndKeepsWorking) {
    testing_support::PtyDevice pty;
    settings.DtrOnOpen = settings.RtsOnOpen = GetParam();
    OpenSerial(pty.path);
    ASSERT_EQ(State().shownStatusCode, 1) << State().pane0ToolTip;
    EXPECT_TRUE(State().controlLines.shown);
    EXPECT_FALSE(State().controlLines.available);
    EXPECT_FALSE(Engine().SetDtr(false) || Engine().SetRts(false) || Engine().SendBreak());
    int bits = 0;  // the serial port itself refuses a break on a pty
    EXPECT_EQ(Engine().CurrentPort().ControlLines(ControlRequest::BreakOn, bits),
              sp::kLinesNotAvailable);
    ASSERT_TRUE(pty.Feed("A\r\n"));
    EXPECT_TRUE(PollUntil([&] { return RecordsOf('R').size() == 1; }));
    EXPECT_TRUE(RecordsOf('I').empty());
    Engine().OnClosePort();
    EXPECT_FALSE(State().controlLines.shown);
}

INSTANTIATE_TEST_SUITE_P(DtrRtsAtOpen, EngineLinesOnPty, testing::Values(0, 1));

}  // namespace
}  // namespace qelvor::test
