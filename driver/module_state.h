// Module-wide state shared by every connection of the process: the message-pump interval
// read at start-up and the yield counter that YieldTick advances.
#pragma once

#include <cstdint>

constexpr uint16_t PEEK_INTERVAL_DEFAULT = 8;

struct ModuleState {
    // Data loops and YieldTick pump the owner window's messages once every peekInterval
    // passes; 0 means they never pump.
    uint16_t peekInterval = PEEK_INTERVAL_DEFAULT;
    // Passes since the last pump, shared by all connections.
    uint32_t yieldCounter = 0;
};

extern ModuleState gModule;
