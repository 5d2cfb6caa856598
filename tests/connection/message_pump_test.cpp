// Pumping the thread's messages: YieldTick's interval over the shared counter, and the one
// message of the focus window.
#include <gtest/gtest.h>

#include "connection/message_pump.h"
#include "records/module_state.h"
#include "tests/support/counting_window.h"

TEST(MessagePump, YieldTickPumpsOnceEveryPeekIntervalCalls) {
    tvtest::CountingWindow window;
    for (uint16_t interval : {8, 3}) {
        gModule.peekInterval = interval;
        gModule.yieldCounter = 0;
        int before = window.dispatched();
        for (int call = 1; call <= 2 * interval; ++call) {
            window.Post();
            YieldTick(window.handle());
            EXPECT_EQ(window.dispatched() - before, call / interval * interval)
                << "interval " << interval << ", call " << call;
        }
        EXPECT_EQ(gModule.yieldCounter, 0u);
    }

    gModule.peekInterval = 0;
    gModule.yieldCounter = 0;
    int before = window.dispatched();
    window.Post();
    for (int call = 0; call < 1000; ++call) YieldTick(window.handle());
    EXPECT_EQ(window.dispatched(), before);
    PumpMessages(window.handle());
    EXPECT_EQ(window.dispatched(), before + 1);
    gModule.peekInterval = PEEK_INTERVAL_DEFAULT;
    gModule.yieldCounter = 0;
}

TEST(MessagePump, PumpOneMessageTakesOneMessageOfTheFocusWindowOnly) {
    tvtest::CountingWindow focused, other;
    SetFocus(focused.handle());
    focused.Post();
    focused.Post();
    other.Post();

    PumpOneMessage();
    EXPECT_EQ(focused.dispatched(), 1);
    PumpOneMessage();
    PumpOneMessage();
    EXPECT_EQ(focused.dispatched(), 2);
    EXPECT_EQ(other.dispatched(), 0);
    PumpMessages(other.handle());
    EXPECT_EQ(other.dispatched(), 1);
}
