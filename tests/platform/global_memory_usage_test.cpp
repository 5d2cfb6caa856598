// The platform's count of live global memory, which the fuzz targets use to find blocks
// left behind and the benchmarks to show that a listing's memory does not grow with it.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/posix/hooks.h"

namespace {

TvGlobalMemoryUsage Usage(BOOL restartPeak = FALSE) {
    TvGlobalMemoryUsage usage{};
    TvQueryGlobalMemory(&usage, restartPeak);
    return usage;
}

TEST(GlobalMemoryUsage, FollowsEveryAllocationResizeDiscardAndFree) {
    Usage(TRUE);
    const TvGlobalMemoryUsage start = Usage();
    EXPECT_EQ(start.peakBytes, start.liveBytes);

    HGLOBAL moveable = GlobalAlloc(GHND, 100);
    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 40);
    HGLOBAL discarded = GlobalAlloc(GMEM_MOVEABLE, 0);  // starts out discarded: no bytes
    EXPECT_EQ(Usage().liveBlocks, start.liveBlocks + 3);
    EXPECT_EQ(Usage().liveBytes, start.liveBytes + 140);

    // Growing, shrinking, moving a fixed block and discarding change the bytes, not the
    // blocks; a refused resize changes nothing.
    ASSERT_EQ(GlobalReAlloc(moveable, 300, GMEM_MOVEABLE | GMEM_ZEROINIT), moveable);
    EXPECT_EQ(Usage().liveBytes, start.liveBytes + 340);
    EXPECT_EQ(Usage().peakBytes, start.liveBytes + 340);
    ASSERT_EQ(GlobalReAlloc(moveable, 10, 0), moveable);
    EXPECT_EQ(Usage().liveBytes, start.liveBytes + 50);
    EXPECT_EQ(Usage().peakBytes, start.liveBytes + 340);
    HGLOBAL moved = GlobalReAlloc(fixed, 4000, GMEM_MOVEABLE);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(Usage().liveBytes, start.liveBytes + 4010);
    EXPECT_EQ(GlobalReAlloc(moved, 8000, 0), nullptr);  // a fixed block may not move here
    EXPECT_EQ(Usage().liveBytes, start.liveBytes + 4010);
    ASSERT_EQ(GlobalReAlloc(moveable, 0, GMEM_MOVEABLE), moveable);
    EXPECT_EQ(Usage().liveBytes, start.liveBytes + 4000);
    ASSERT_EQ(GlobalReAlloc(discarded, 25, GMEM_MOVEABLE), discarded);
    EXPECT_EQ(Usage().liveBytes, start.liveBytes + 4025);
    EXPECT_EQ(Usage().liveBlocks, start.liveBlocks + 3);

    // A failed free counts nothing.
    EXPECT_EQ(GlobalFree(moveable), nullptr);
    EXPECT_EQ(GlobalFree(moveable), moveable);
    EXPECT_EQ(GlobalFree(moved), nullptr);
    EXPECT_EQ(GlobalFree(discarded), nullptr);
    const TvGlobalMemoryUsage end = Usage(TRUE);
    EXPECT_EQ(end.liveBlocks, start.liveBlocks);
    EXPECT_EQ(end.liveBytes, start.liveBytes);
    EXPECT_EQ(end.peakBytes, start.liveBytes + 4025);
    // The peak starts over from what is alive now.
    EXPECT_EQ(Usage().peakBytes, start.liveBytes);
}

}  // namespace
