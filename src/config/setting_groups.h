// The groups of settings the engine acts on, as plain typed values: the
// serial line, the network peer, the send format, and the split strings with
// their responses. Each is built once from the settings record by From, so a
// user of one group sees its fields together, typed, and apart from the
// record's file keeping. Plain data; any thread that owns its copy.
#pragma once

#include <cstdint>
#include <string>

namespace qelvor {

class CComSetting;

// How a serial port is opened.
struct SerialLineSettings {
    int comPort = 0;     // 1..32 is /dev/ttyS(n-1); 0: device names it
    std::string device;  // ComName: a path as it stands, or a name under /dev
    int baudRate = 0;
    int byteSize = 0;     // 5..8
    int parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 0;     // 0 one, 1 one and a half, 2 two
    int flowControl = 0;  // 0 none, 1 XON/XOFF, 2 RTS/CTS
    bool dtrOnOpen = true;
    bool rtsOnOpen = true;

    static SerialLineSettings From(const CComSetting& settings);
};

// The TCP or UDP peer of the work mode.
struct NetworkSettings {
    int workMode = 0;
    std::string serverAddress;  // the TCP server a client connects to, the UDP peer
    int tcpPort = 0;
    int udpLocalPort = 0;
    int udpRemotePort = 0;  // <= 0: answer the last sender
    bool autoReconnect = false;
    int idleCloseSeconds = 0;  // 0: never

    static NetworkSettings From(const CComSetting& settings);
};

// How a text from the send box or a file becomes bytes on the line.
struct SendFormatSettings {
    bool hexText = false;  // HexSendData: the send box holds hexadecimal text
    bool appendCheck = false;
    int checkKind = 0;  // CheckSum: the kind of check computed and verified
    std::string preamble;
    std::string postamble;
    uint8_t replaceOld = 0;  // the first such byte is replaced by replaceNew
    uint8_t replaceNew = 0;
    int encoding = 0;    // SenDataEncodeCov: 0 as typed, 1 UTF-8, 2 UTF-16 LE
    int fileFormat = 0;  // SendFileFMT: 0 raw, 1 notation, 2 hexadecimal
    bool skipFileBom = false;

    static SendFormatSettings From(const CComSetting& settings);
};

// Where received bytes are split into frames, and what answers each split.
struct SplitResponseSettings {
    std::string splitStrings;        // notation, comma separated
    std::string responseStrings;     // one for each split string, in order
    bool answer = false;             // HandShake: responses are sent at all
    bool responsesFromFile = false;  // [DATA] takes the response file, not the list

    static SplitResponseSettings From(const CComSetting& settings);
};

}  // namespace qelvor
