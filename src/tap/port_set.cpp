#include "tap/port_set.h"

#include <arpa/inet.h>

#include "config/setting_keys.h"

namespace qelvor::tap {

StreamPort::CStreamPort& CPortSet::Select(int workMode) {
    switch (workMode) {
        case kWorkModeTcpServer:
        case kWorkModeTcpClient:
            current_ = &tcp_;
            break;
        case kWorkModeUdp:
            current_ = &udp_;
            break;
        case kWorkModePty:
            current_ = &pty_;
            break;
        default:
            current_ = &serial_;
    }
    StreamPort::CStreamPort* const all[] = {&serial_, &tcp_, &udp_, &pty_};
    for (StreamPort::CStreamPort* port : all)
        if (port != current_) port->Close();
    return *current_;
}

void CPortSet::Configure(const CComSetting& s) {
    current_->SetFormat(static_cast<uint8_t>(s.ByteSize), static_cast<uint8_t>(s.StopBit),
                        static_cast<uint8_t>(s.Parity));
    current_->SetComParam(s.ComPort, s.BaudRate, s.ComName.c_str());
    serial_.SetFlowControl(s.FlowCtrl);
    serial_.SetLinesAtOpen(s.DtrOnOpen != 0, s.RtsOnOpen != 0);
    pty_.SetLinkPath(s.PtyLink);
    const uint32_t address = inet_addr(s.SvrIPAddr.c_str());
    if (s.WorkMode == kWorkModeUdp) {
        // The UDP description names the address as the user wrote it.
        udp_.SetRemoteAddressText(s.SvrIPAddr);
        current_->SetNetParam(s.UDPLocalPort, s.UDPRemotePort, address);
    } else {
        current_->SetNetParam(s.WorkMode, s.IPPort, address);
    }
}

void CPortSet::CloseAll() {
    serial_.Close();
    tcp_.Close();
    udp_.Close();
    pty_.Close();
}

}  // namespace qelvor::tap
