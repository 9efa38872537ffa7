// A scripted ASTM E1381 peer for the engine and qelvor-cli tests: frames
// built by the link's codec, and a script of what the peer sends and what it
// must get back, played on a loopback socket while the engine runs.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "astm/astm_frame.h"
#include "mainwnd/engine_fixture.h"

namespace qelvor::test {

inline const std::string kEnq(1, astm::kEnq), kAck(1, astm::kAck), kNak(1, astm::kNak),
    kEot(1, astm::kEot);

// One final frame of a record and its CR.
inline std::string Frame(int number, const std::string& record) {
    return astm::CAstmFrame{number, record + '\r', true}.Bytes();
}

struct LineStep {
    std::vector<std::string> send;  // sent 2 ms apart
    std::string expect;             // what must come back before the next step
};

// Plays the steps, calling pump (an engine poll, or nothing for a child
// process) while it waits; everything that came back, in order. Stops at
// the first step whose answer differs.
inline std::string PlaySteps(const Socket& peer, const std::vector<LineStep>& steps,
                             const std::function<void()>& pump) {
    std::string got;
    for (const LineStep& step : steps) {
        for (size_t i = 0; i < step.send.size(); ++i) {
            const auto gap = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
            if (i > 0) RunUntil(pump, [&] { return std::chrono::steady_clock::now() >= gap; });
            peer.SendAll(step.send[i]);
        }
        std::string part;
        RunUntil(pump, [&] {
            // Two: a limit of 1 ms rounds down to no wait at all.
            part += peer.Receive(step.expect.size() - part.size(), 2);
            return part.size() >= step.expect.size();
        });
        got += part;
        if (part != step.expect) break;
    }
    return got;
}

// The host's side of one message: the ENQ and every frame acknowledged,
// except that the frame at position refused (from 1; 0 for none) is refused
// every time, so the sender tries it six times and then ends with EOT.
inline std::vector<LineStep> HostSteps(const std::vector<std::string>& frames, size_t refused) {
    std::vector<LineStep> steps = {{{}, kEnq}};
    std::string reply = kAck;
    for (size_t i = 0; i < frames.size(); ++i) {
        const bool refuse = i + 1 == refused;
        for (int tries = refuse ? 6 : 1; tries > 0; --tries) {
            steps.push_back({{reply}, frames[i]});
            reply = refuse ? kNak : kAck;
        }
        if (refuse) break;
    }
    steps.push_back({{reply}, kEot});
    return steps;
}

// The whole script's expected answers, to compare with PlaySteps.
inline std::string Expected(const std::vector<LineStep>& steps) {
    std::string all;
    for (const LineStep& step : steps)
        all += step.expect;
    return all;
}

}  // namespace qelvor::test
