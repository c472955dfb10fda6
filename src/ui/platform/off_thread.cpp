#include "off_thread.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>

namespace velmo {

void RunWithDeadline(std::function<bool()> work, std::chrono::milliseconds deadline, QObject* receiver,
                     std::function<void(std::optional<bool>)> done) {
    // Touched on the receiver's thread only: whichever comes first, answer or deadline, is delivered.
    struct Call {
        bool delivered = false;
        std::function<void(std::optional<bool>)> done;
    };
    auto call = std::make_shared<Call>();
    call->done = std::move(done);
    QTimer::singleShot(deadline, receiver, [call] {
        if (!call->delivered) {
            call->delivered = true;
            call->done(std::nullopt);
        }
    });
    const QPointer<QObject> guard(receiver);
    std::thread([work = std::move(work), call, guard] {
        const bool answer = work();
        QMetaObject::invokeMethod(
            qApp,
            [call, guard, answer] {
                if (guard && !call->delivered) {
                    call->delivered = true;
                    call->done(answer);
                }
            },
            Qt::QueuedConnection);
    }).detach();
}

void RunOffThread(std::function<void()> work) {
    QEventLoop loop;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        work();
        finished = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // The quit may be posted before the loop runs; it is queued, so exec sees it.
    if (!finished)
        loop.exec();
    worker.join();
}

bool RunOffThreadWithin(std::function<void()> work, std::chrono::milliseconds deadline) {
    // The loop pointer is touched on this thread only; the worker may outlive this call.
    struct Wait {
        QEventLoop* loop = nullptr;
        std::atomic<bool> finished{false};
    };
    auto wait = std::make_shared<Wait>();
    QEventLoop loop;
    wait->loop = &loop;
    QTimer::singleShot(deadline, &loop, &QEventLoop::quit);
    std::thread([work = std::move(work), wait] {
        work();
        wait->finished = true;
        QMetaObject::invokeMethod(
            qApp,
            [wait] {
                if (wait->loop != nullptr)
                    wait->loop->quit();
            },
            Qt::QueuedConnection);
    }).detach();
    if (!wait->finished)
        loop.exec();
    wait->loop = nullptr;
    return wait->finished;
}

} // namespace velmo
