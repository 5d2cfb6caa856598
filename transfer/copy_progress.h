// The host's copy callback: the running total after every piece sent or written, and the
// host's regular chance to run its message loop and to stop the copy.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

// Tells the host the copy's running total (code 2). 0, or the host's negative answer,
// which stops the copy with that value. A copy without a callback just goes on.
int32_t ReportCopyTotal(CopyContext* context);

// Gives the host its turn (code 6). 0, or FSE_STOPPED when the host answers negative.
int32_t YieldToHost(CopyContext* context);

// Counts the passes of one wait (retries of a send or receive that would block) and gives
// the host its turn every PeekInterval passes; PeekInterval 0 never does.
class CopyYieldCounter {
public:
    // 0, or FSE_STOPPED when the host asked to stop on this pass.
    int32_t Pass(CopyContext* context);

private:
    uint32_t passes_ = 0;
};
