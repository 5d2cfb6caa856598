// Calling the host's copy callback with the running total and for its turn.
#include "transfer/copy_progress.h"

#include "records/module_state.h"

int32_t ReportCopyTotal(CopyContext* context) {
    if (context->progress == nullptr) return 0;
    const LONG answer = context->progress(context->cookie, PROGRESS_CODE_TOTAL, 0,
                                          static_cast<LONG>(context->total));
    return answer < 0 ? static_cast<int32_t>(answer) : 0;
}

int32_t YieldToHost(CopyContext* context) {
    if (context->progress == nullptr) return 0;
    // The host's answer only says stop or go on; the copy reports a stop with the module's
    // own number, whatever negative value the host chose.
    return context->progress(context->cookie, PROGRESS_CODE_YIELD, 0, 0) < 0 ? FSE_STOPPED : 0;
}

int32_t CopyYieldCounter::Pass(CopyContext* context) {
    if (gModule.peekInterval == 0 || ++passes_ < gModule.peekInterval) return 0;
    passes_ = 0;
    return YieldToHost(context);
}
