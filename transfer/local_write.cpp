// Writing a piece of a copy to the local file.
#include "transfer/local_write.h"

#include "transfer/copy_progress.h"

int32_t WriteLocalBlock(HFILE file, const char* bytes, int32_t count, CopyContext* context) {
    // _lwrite of no bytes cuts the file where it stands, which a copy must never do.
    if (count <= 0) return 0;
    const UINT written = _lwrite(file, bytes, static_cast<UINT>(count));
    // The piece counts in the total even when the file did not take it all: the host's
    // total says how far the copy got, and it stops here either way.
    context->total += static_cast<uint32_t>(count);
    if (written == static_cast<UINT>(HFILE_ERROR)) return FSE_LOCAL_WRITE;
    if (written < static_cast<UINT>(count)) return FSE_LOCAL_SHORT_WRITE;
    const int32_t answer = ReportCopyTotal(context);
    return answer < 0 ? answer : count;
}
