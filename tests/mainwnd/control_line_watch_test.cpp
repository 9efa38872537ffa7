// The modem line watch against a port whose lines the test sets.
#include <algorithm>

#include "mainwnd/control_line_watch.h"
#include "ports/udp_port.h"
#include "support/engine_fixture.h"

namespace qelvor::test {
namespace {

using std::chrono::milliseconds;
using StreamPort::ControlRequest;
namespace sp = StreamPort;

// A port (a UDP port never opened) whose modem lines are the test's levels.
class ScriptedLinesPort : public sp::CUDPPort {
  public:
    int ControlLines(ControlRequest request, int& lines) override {
        requests.push_back(request);
        if (request == ControlRequest::GetLines) lines = levels;
        return sp::kLinesDone;
    }
    int levels = 0;
    std::vector<ControlRequest> requests;
};

// Input changes and outputs are recorded; a break ends at a tick 250 ms on, or at Stop.
TEST(LineWatch, InputChangesEvery50MsOutputsAsSetAndABreakFor250Ms) {
    CComSetting settings;
    RecordingView view;
    CEngineContext ctx{settings, view};
    CControlLineWatch watch{ctx};
    ScriptedLinesPort port;
    const ControlLineState& lines = ctx.state.controlLines;
    const auto t0 = CControlLineWatch::Clock::now();
    port.levels = sp::kLineCts | sp::kLineDtr;
    watch.Start(port, t0);
    EXPECT_TRUE(lines.shown && lines.available);
    port.levels = sp::kLineDsr | sp::kLineDcd | sp::kLineRi;
    watch.OnIdleTick(t0 + milliseconds(49));
    EXPECT_EQ(port.requests.size(), 1u);  // too soon: not read
    watch.OnIdleTick(t0 + milliseconds(50));
    EXPECT_EQ(lines.lines, port.levels);
    EXPECT_NE(view.changes & kChangedLines, 0u);
    EXPECT_TRUE(watch.SetDtr(false) && watch.SetRts(true));
    EXPECT_EQ(lines.lines, port.levels | sp::kLineRts);
    EXPECT_TRUE(watch.SendBreak(t0 + milliseconds(100)));
    EXPECT_FALSE(watch.SendBreak(t0 + milliseconds(110)));  // one at a time
    watch.OnTick(t0 + milliseconds(349));
    EXPECT_TRUE(lines.breakOn);
    watch.OnTick(t0 + milliseconds(350));
    watch.OnTick(t0 + milliseconds(360));
    // Levels found at open are no change; a DTR the driver changed is shown, not recorded.
    Lines records;
    for (const CMsgRecord& record : ctx.exchange.Records())
        records.push_back(std::string(1, record.Type()) + record.Data());
    EXPECT_EQ(records, (Lines{"ICTS off", "IDSR on", "IDCD on", "IRI on", "IDTR off", "IRTS on",
                              "IBreak on", "IBreak off"}));
    EXPECT_TRUE(watch.SendBreak(t0 + milliseconds(400)));
    watch.Stop();
    EXPECT_FALSE(watch.SetRts(false));  // stopped: the port is not asked
    EXPECT_FALSE(lines.shown || lines.breakOn);
    EXPECT_EQ(std::count(port.requests.begin(), port.requests.end(), ControlRequest::BreakOff), 2);
    EXPECT_EQ(port.requests.back(), ControlRequest::BreakOff);
}

}  // namespace
}  // namespace qelvor::test
