// Calls from other threads reach the window thread in order, wait for it, and are let go when the
// window closes.

#include "ui/WindowThreadCalls.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace mervane {
namespace {

TEST(WindowThreadCallsTest, CallsFromAWorkerRunOnTheWindowThreadInOrder) {
    QObject window;
    WindowThreadCalls calls(window);
    std::vector<int> order;  // touched on the window thread only
    std::atomic<bool> done{false};
    bool allOnWindowThread = true;
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) {
            const int echoed = calls.call<int>(
                [&, i] {
                    allOnWindowThread =
                        allOnWindowThread && QThread::currentThread() == window.thread();
                    order.push_back(i);
                    return i;
                },
                -1);
            EXPECT_EQ(echoed, i);
        }
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
    worker.join();
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    EXPECT_TRUE(allOnWindowThread);
}

TEST(WindowThreadCallsTest, ClosingLetsAWaitingCallGoAndDropsItsWork) {
    QObject window;
    WindowThreadCalls calls(window);
    std::atomic<bool> waiting{false};
    bool ran = false;
    int answer = 0;
    // The window thread processes no events here, so the call can only end through close().
    std::thread worker([&] {
        waiting = true;
        answer = calls.call<int>(
            [&] {
                ran = true;
                return 1;
            },
            -1);
    });
    while (!waiting.load())
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let it post and wait
    calls.close();
    worker.join();
    EXPECT_EQ(answer, -1);
    QCoreApplication::processEvents();  // the posted work is dropped, not run late
    EXPECT_FALSE(ran);
    // Later calls from other threads do not wait at all.
    std::thread late([&] { answer = calls.call<int>([] { return 2; }, -2); });
    late.join();
    EXPECT_EQ(answer, -2);
}

TEST(WindowThreadCallsTest, CallsOnTheWindowThreadRunDirectly) {
    QObject window;
    WindowThreadCalls calls(window);
    EXPECT_EQ(calls.call<int>([] { return 7; }, -1), 7);
}

}  // namespace
}  // namespace mervane
