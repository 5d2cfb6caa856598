// The converter loop of a fetched file: every block the server sends goes through the
// converter its TextFormat selects, toward the local file or toward another server.
#pragma once

#include <cstdint>

#include "transfer/converters.h"

// Converts the block already in the copy record's input buffer and every block after it
// until the server ends the data, with the converter of `textFormat` for `side`, then
// completes what the last block left open and flushes. The output buffer starts empty.
// Gives the host its turn every PeekInterval blocks. 0, or the first failure (of the
// output, of a fill, or the host's stop); the caller breaks the data connection off.
int32_t ConvertedCopy(SOCKET source, const CopyOutput* output, int32_t textFormat,
                      OutputSide side, CopyContext* context);
