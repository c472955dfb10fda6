#include "ui/platform/off_thread.h"

#include "support/gate.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace velmo;

namespace {

// Once every worker has ended, what they posted is in the queue; this hands it out.
void deliverEverything() {
    ASSERT_TRUE(WaitForDetachedWork(std::chrono::seconds(20)));
    QCoreApplication::processEvents();
}

} // namespace

TEST(BackgroundRequests, AResultNoLongerWantedIsNeverDelivered_theWorkSeesItIsUnwanted) {
    struct Case {
        const char* what;
        // Makes the first request unwanted while its work waits, perhaps with a second request.
        std::function<void(std::unique_ptr<QObject>&, std::unique_ptr<BackgroundRequests>&,
                           std::function<void(int)>)>
            meanwhile;
        std::vector<int> delivered;
    };
    const std::vector<Case> cases = {
        {"still wanted", [](auto&, auto&, auto) {}, {1}},
        {"withdrawn", [](auto&, auto& requests, auto) { requests->withdraw(); }, {}},
        {"replaced by a newer request", [](auto&, auto&, auto startNumber) { startNumber(2); }, {2}},
        {"the receiver closed",
         [](auto& receiver, auto& requests, auto) {
             requests.reset();
             receiver.reset();
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto receiver = std::make_unique<QObject>();
        auto requests = std::make_unique<BackgroundRequests>(receiver.get());
        auto gate = std::make_shared<test::Gate>();
        std::vector<int> delivered;
        auto sawUnwanted = std::make_shared<std::vector<bool>>(3, false);
        auto mutex = std::make_shared<std::mutex>();
        const auto startNumber = [&](int number) {
            requests->start<int>(
                [gate, number, sawUnwanted, mutex](const BackgroundRequests::Unwanted& unwanted) {
                    gate->pass();
                    const std::lock_guard<std::mutex> lock(*mutex);
                    (*sawUnwanted)[static_cast<std::size_t>(number)] = unwanted;
                    return number;
                },
                [&delivered](int number) { delivered.push_back(number); });
        };
        startNumber(1);
        c.meanwhile(receiver, requests, startNumber);
        gate->open();
        deliverEverything();

        EXPECT_EQ(delivered, c.delivered);
        const std::lock_guard<std::mutex> lock(*mutex);
        EXPECT_EQ((*sawUnwanted)[1], c.delivered != std::vector<int>{1});
        EXPECT_FALSE(requests && requests->pending());
    }
}

TEST(BackgroundRequests, AnAnswerAfterItsDeadlineIsDropped_theDeadlineSaysNothingOnce) {
    QObject receiver;
    BackgroundRequests requests(&receiver);
    auto gate = std::make_shared<test::Gate>();
    std::vector<std::optional<int>> delivered;
    requests.startWithin<int>(
        std::chrono::milliseconds(0),
        [gate](const BackgroundRequests::Unwanted&) {
            gate->pass();
            return 7;
        },
        [&delivered](std::optional<int> answer) { delivered.push_back(answer); });
    // The deadline's timer is due at once; the work is still held.
    while (delivered.empty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    gate->open();
    deliverEverything();

    EXPECT_EQ(delivered, std::vector<std::optional<int>>{std::nullopt});
    EXPECT_FALSE(requests.pending());
}

// An answer before the deadline is the only one: the deadline passing later says nothing, and leaves
// a newer request alone. (Answered and then "not answering" emptied the Write dialog's destination.)
TEST(BackgroundRequests, AnAnswerBeforeItsDeadlineIsTheOnlyOne_aNewerRequestKeepsItsOwn) {
    QObject receiver;
    BackgroundRequests requests(&receiver);
    std::vector<std::optional<int>> delivered;
    requests.startWithin<int>(
        std::chrono::milliseconds(2000), [](const BackgroundRequests::Unwanted&) { return 7; },
        [&delivered](std::optional<int> answer) { delivered.push_back(answer); });
    while (delivered.empty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    auto gate = std::make_shared<test::Gate>();
    requests.start<int>(
        [gate](const BackgroundRequests::Unwanted&) {
            gate->pass();
            return 8;
        },
        [&delivered](int answer) { delivered.push_back(answer); });
    // The first request's deadline passes while the newer one is still held.
    QObject deadlinePassed;
    bool passed = false;
    QTimer::singleShot(2500, Qt::PreciseTimer, &deadlinePassed, [&passed] { passed = true; });
    while (!passed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_TRUE(requests.pending());
    gate->open();
    deliverEverything();

    EXPECT_EQ(delivered, (std::vector<std::optional<int>>{7, 8}));
    EXPECT_FALSE(requests.pending());
}
