#ifdef _WIN32
#include "termination_signals.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <future>

#include <windows.h>

namespace velmo {

namespace {

std::atomic<TerminationSignals*> current{nullptr};

// Runs on a thread of its own that Windows starts. Ctrl+C and Ctrl+Break only ask; closing the
// console, logging off and shutting down end the process once this returns, so those wait (a few
// seconds at most, as Windows allows) until the event loop has closed the windows.
BOOL WINAPI onConsoleEvent(DWORD event) {
    if (current.load() == nullptr)
        return FALSE;
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> closed = done->get_future();
    // The receiver is looked up again on the window's thread, where it is destroyed, so it cannot go
    // away between the look-up and the call.
    QMetaObject::invokeMethod(
        qApp,
        [done] {
            if (TerminationSignals* target = current.load())
                target->deliver();
            done->set_value();
        },
        Qt::QueuedConnection);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        closed.wait_for(std::chrono::seconds(4));
    return TRUE;
}

} // namespace

// The Windows session's end reaches a window program as WM_QUERYENDSESSION, which Qt turns into
// commitDataRequest; this covers a program with a console (Ctrl+C, a closed console window).
TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    current.store(this);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

TerminationSignals::~TerminationSignals() {
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    current.store(nullptr);
}

void TerminationSignals::deliver() {
    if (onSignal_)
        onSignal_();
}

} // namespace velmo
#endif
