// ConvertedCopy: one converter over the blocks of a fetched file.
#include "transfer/converted_copy.h"

#include "transfer/copy_progress.h"
#include "transfer/data_blocks.h"

int32_t ConvertedCopy(SOCKET source, const CopyOutput* output, int32_t textFormat,
                      OutputSide side, CopyContext* context) {
    const Converter convert = SelectConverter(textFormat, side);
    ConverterState state = StartConverterState(textFormat);
    context->outputCount = 0;
    CopyYieldCounter blocks;
    for (;;) {
        if (const int32_t put = convert(output, &state, context); put < 0) return put;
        if (const int32_t stop = blocks.Pass(context); stop < 0) return stop;
        const int32_t filled = FillInput(source, context);
        if (filled < 0) {
            // What the data brought before the failure is written all the same.
            FlushOutput(output, context);
            return filled;
        }
        if (filled == 0) break;
    }
    if (const int32_t last = FinishConverter(output, &state, context); last < 0) return last;
    const int32_t flushed = FlushOutput(output, context);
    return flushed < 0 ? flushed : 0;
}
