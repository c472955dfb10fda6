#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
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

// The requests one receiver makes for work off its thread. Each result is handed to the receiver's
// thread unless it is no longer wanted by then: a newer request replaced it, withdraw() was called,
// or the receiver (or this object) is gone. Work that is no longer wanted sees its flag raised, so
// it can stop early; the window never waits for it.
class BackgroundRequests {
public:
    using Unwanted = std::atomic<bool>;

    explicit BackgroundRequests(QObject* receiver) : receiver_(receiver) {}
    ~BackgroundRequests() { withdraw(); }
    BackgroundRequests(const BackgroundRequests&) = delete;
    BackgroundRequests& operator=(const BackgroundRequests&) = delete;

    // Replaces the request under way, if any. `work` owns copies of all it touches.
    template <typename T> void start(std::function<T(const Unwanted&)> work, std::function<void(T)> done) {
        const std::shared_ptr<Unwanted> ticket = replace();
        RunInBackground<T>([work = std::move(work), ticket] { return work(*ticket); }, receiver_,
                           [this, ticket, done = std::move(done)](T result) {
                               if (*ticket)
                                   return;
                               // Answered: nothing else about this request is delivered, its deadline
                               // included.
                               *ticket = true;
                               current_.reset();
                               done(std::move(result));
                           });
    }

    // As start, but the answer is nothing once `deadline` passes first (a medium that never answers);
    // a late answer is dropped.
    template <typename T>
    void startWithin(std::chrono::milliseconds deadline, std::function<T(const Unwanted&)> work,
                     std::function<void(std::optional<T>)> done) {
        auto shared = std::make_shared<std::function<void(std::optional<T>)>>(std::move(done));
        start<T>(std::move(work), [shared](T result) { (*shared)(std::move(result)); });
        QTimer::singleShot(deadline, receiver_, [this, ticket = current_, shared] {
            if (*ticket)
                return;
            // Only this request is given up on, never a newer one made since.
            *ticket = true;
            if (current_ == ticket)
                current_.reset();
            (*shared)(std::nullopt);
        });
    }

    // No result of a request made so far is delivered.
    void withdraw() {
        if (current_)
            *current_ = true;
        current_.reset();
    }

    bool pending() const { return current_ != nullptr; }

private:
    std::shared_ptr<Unwanted> replace() {
        withdraw();
        current_ = std::make_shared<Unwanted>(false);
        return current_;
    }

    QObject* receiver_;
    std::shared_ptr<Unwanted> current_;
};

} // namespace velmo
