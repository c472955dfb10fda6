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

} // namespace velmo
