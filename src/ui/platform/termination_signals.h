#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace velmo {

// Turns SIGTERM, SIGINT and SIGHUP (a kill, Ctrl+C, a closed terminal or ended session) into a call
// on the event loop, where the program can end as cleanly as its close box would. The handler itself
// only writes one byte to a socket. One at a time; the previous handlers return when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TerminationSignals)
public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;
#ifdef _WIN32
    // The console handler's request, on the event loop.
    void deliver();
#endif

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace velmo
