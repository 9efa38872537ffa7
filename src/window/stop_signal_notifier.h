// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal of the event loop: the two are
// blocked in every thread (BlockStopSignals, before any thread starts) and
// read from a signalfd that a QSocketNotifier watches, so that the window
// ends in its own thread as if it were closed. Main thread only.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace qelvor {

class CStopSignalNotifier : public QObject {
    Q_OBJECT

  public:
    // Blocks SIGINT, SIGTERM and SIGHUP in the calling thread, and so in
    // every thread it starts later, and ignores SIGPIPE. False when the mask
    // cannot be set.
    static bool BlockStopSignals();

    explicit CStopSignalNotifier(QObject* parent = nullptr);
    ~CStopSignalNotifier() override;
    // False when the signal descriptor could not be made.
    bool Watching() const { return fd_ >= 0; }

  signals:
    void stopRequested(int signalNumber);

  private:
    void ReadSignal();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace qelvor
