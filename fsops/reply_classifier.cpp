// The reply classifier of the path operations: which FsError a refused path command gives,
// from the reply code and, for 550, from what the server's text says about the refusal.
#include "fsops/path_operations.h"
#include "util/orr.h"

namespace {

// Only the beginning of a long reply is searched for the words that tell a 550 apart.
constexpr int kSearchedCharacters = 1535;

constexpr uint16_t kNoSpaceCode = 452;
constexpr uint16_t kNotImplementedCode = 502;
constexpr uint16_t kRefusedCode = 550;

}  // namespace

int32_t ClassifyFailedReply(const FtpConnection* connection, const Reply& reply) {
    if (reply.error) return reply.error;
    switch (reply.code) {
        case kNoSpaceCode: return FSE_NO_SPACE;
        case kNotImplementedCode: return FSE_NOT_SUPPORTED;
        case kRefusedCode: break;
        default: return FSE_NOT_FOUND;
    }

    // 550 is what servers answer for nearly every refusal of a name; the words decide.
    // The searches ignore case, as servers write "Permission denied" and "PERMISSION
    // DENIED" alike. A denial wins over "no space" ("Permission denied, no space"), and a
    // 550 that names neither is taken as a denial.
    char text[kSearchedCharacters + 1];
    OrrCopyStringN(text, connection->replyText, kSearchedCharacters);
    const bool denied = OrrFindString(text, "denied") != nullptr;
    if (denied && (OrrFindString(text, "permission") != nullptr ||
                   OrrFindString(text, "privilege") != nullptr)) {
        return FSE_ACCESS_DENIED;
    }
    if (OrrFindString(text, "no space") != nullptr) return FSE_NO_SPACE;
    // A 550 that says the name is not there reports a missing name: taken for a denial, a
    // delete or change into a name that is gone would read as a matter of permissions.
    for (const char* missing : {"no such file", "not found", "does not exist"}) {
        if (OrrFindString(text, missing) != nullptr) return FSE_NOT_FOUND;
    }
    return FSE_ACCESS_DENIED;
}
