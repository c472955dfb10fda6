#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace velmo {

// Held by each detached worker from before it starts until it ends, so that the program can wait for
// them before the application object and the statics they post to go away.
class DetachedWork {
public:
    DetachedWork();
    ~DetachedWork();
    DetachedWork(const DetachedWork&) = delete;
    DetachedWork& operator=(const DetachedWork&) = delete;
};

// Waits until no detached worker runs, at most `limit`; false when some still run then (a medium that
// never answers), and the program should end without running its static destructors.
bool WaitForDetachedWork(std::chrono::milliseconds limit);

// For the end of main: returns `code` once the detached workers have ended, or ends the program with
// it at once (no static destructors) when some still run after two seconds.
int EndAfterDetachedWork(int code);

// Runs `work` on a thread of its own and hands its answer to `done` on the receiver's thread, or
// nothing once `deadline` has passed first. A call that never returns costs only its thread; nothing
// is delivered once the receiver is gone.
void RunWithDeadline(std::function<bool()> work, std::chrono::milliseconds deadline, QObject* receiver,
                     std::function<void(std::optional<bool>)> done);

// Runs `work` on a thread of its own and returns when it is done, handling the window's events
// meanwhile, so it repaints and takes input (Cancel) throughout.
void RunOffThread(std::function<void()> work);

// As RunOffThread, but stops waiting once `deadline` has passed: true when `work` finished in time.
// A call that never returns costs only its thread, so `work` must own copies of all it touches.
bool RunOffThreadWithin(std::function<void()> work, std::chrono::milliseconds deadline);

// Runs `work` on a thread of its own and hands its result to `done` on the receiver's thread, unless
// the receiver is gone by then. `work` owns copies of all it needs.
template <typename T>
void RunInBackground(std::function<T()> work, QObject* receiver, std::function<void(T)> done) {
    const QPointer<QObject> guard(receiver);
    std::thread([work = std::move(work), done = std::move(done), guard,
                 counted = std::make_shared<const DetachedWork>()]() mutable {
        auto result = std::make_shared<T>(work());
        QMetaObject::invokeMethod(
            qApp,
            [done, guard, result] {
                if (guard)
                    done(std::move(*result));
            },
            Qt::QueuedConnection);
    }).detach();
}

} // namespace velmo
