// The four kinds of port a settings record can name (serial device, TCP
// server or client, UDP socket, virtual serial port), one of them chosen by
// its WorkMode and set up from its keys: what the single port of the work
// modes and each end of a tap hold. Engine thread only.
#pragma once

#include "config/com_setting.h"
#include "ports/pty_port.h"
#include "ports/serial_port.h"
#include "ports/tcp_port.h"
#include "ports/udp_port.h"

namespace qelvor::tap {

class CPortSet {
  public:
    // Chooses the port of the work mode (the serial port for a mode that
    // names none of the others) and closes the others.
    StreamPort::CStreamPort& Select(int workMode);
    // Gives the chosen port the record's line, address and link keys.
    void Configure(const CComSetting& settings);
    void CloseAll();

    StreamPort::CStreamPort& Current() { return *current_; }
    StreamPort::CSerialPort& Serial() { return serial_; }
    StreamPort::CTCPPort& Tcp() { return tcp_; }
    StreamPort::CUDPPort& Udp() { return udp_; }
    StreamPort::CPtyPort& Pty() { return pty_; }

  private:
    StreamPort::CSerialPort serial_;
    StreamPort::CTCPPort tcp_;
    StreamPort::CUDPPort udp_;
    StreamPort::CPtyPort pty_;
    StreamPort::CStreamPort* current_ = &serial_;
};

}  // namespace qelvor::tap
