#include "interrupts.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace velmo {

namespace {

// Set from a signal handler or from the thread Windows starts for a console event.
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

#ifdef _WIN32

// Set when the work has stopped, so that closing the console waits for it.
std::atomic<bool> released{false};

// Ctrl+C and Ctrl+Break only ask; closing the console, logging off and shutting down end the process
// once this returns, so those wait for the work to stop, within the few seconds Windows allows.
BOOL WINAPI onConsoleEvent(DWORD event) {
    const bool again = requested.exchange(true);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return again ? FALSE : TRUE; // FALSE: the default handler ends the process
    for (int waited = 0; waited < 4500 && !released.load(); waited += 50)
        Sleep(50);
    return TRUE;
}

#else

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

extern "C" void onSignal(int number) {
    if (requested.exchange(true)) {
        // The second: ended by it, as if never caught. It is delivered once this handler returns.
        ::signal(number, SIG_DFL);
        ::raise(number);
    }
}

#endif

} // namespace

void CatchInterrupts() {
    requested = false;
#ifdef _WIN32
    released = false;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // A read or write under way goes on; the flag is looked at between them.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        ::sigaction(kSignals[i], nullptr, &previous[i]);
        // Ignored when the tool was started (nohup, a background job) stays ignored.
        if (previous[i].sa_handler != SIG_IGN)
            ::sigaction(kSignals[i], &action, nullptr);
    }
#endif
}

void ReleaseInterrupts() {
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    released = true;
#else
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
#endif
}

bool InterruptRequested() {
    return requested.load();
}

} // namespace velmo
