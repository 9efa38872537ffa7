#include "window/stop_signal_notifier.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace qelvor {

namespace {

sigset_t StopSignals() {
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGHUP);  // the terminal or session went: end as for SIGTERM
    return mask;
}

}  // namespace

bool CStopSignalNotifier::BlockStopSignals() {
    // A write to a socket or pipe whose reader went is an error to handle
    // where it happens, never a reason to die.
    signal(SIGPIPE, SIG_IGN);
    const sigset_t mask = StopSignals();
    return pthread_sigmask(SIG_BLOCK, &mask, nullptr) == 0;
}

CStopSignalNotifier::CStopSignalNotifier(QObject* parent) : QObject(parent) {
    const sigset_t mask = StopSignals();
    fd_ = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) return;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CStopSignalNotifier::ReadSignal);
}

CStopSignalNotifier::~CStopSignalNotifier() {
    delete notifier_;
    if (fd_ >= 0) close(fd_);
}

void CStopSignalNotifier::ReadSignal() {
    signalfd_siginfo info{};
    while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        emit stopRequested(static_cast<int>(info.ssi_signo));
}

}  // namespace qelvor
