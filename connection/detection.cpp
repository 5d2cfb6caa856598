// Host detection: which operating system the server runs, for a connection whose host left
// it to the module. The user's own rules in the settings come first, then what the server
// says to SYST, then what its greeting says, and when nothing settles it, the user.
#include "connection/detection.h"

#include "util/orr.h"

namespace {

struct TypePattern {
    const char* pattern;
    uint8_t hostType;
};

// Searched in the SYST reply text. The first pattern found decides, so the order is the
// tie-break: "VMS" comes before "VM " and "VM/CMS", "UNIX" before everything.
constexpr TypePattern kSystTable[] = {
    {"UNIX", HOST_UNIX},
    {"VMS", HOST_VMS},
    {"VM ", HOST_VM},
    {"VM/VPS", HOST_OTHER},
    {"VM/CMS", HOST_VM},
    {"OS/MVS", HOST_MVS},
    {"Windows 3.1", HOST_DOS},
    {"DOS", HOST_DOS},
    {"MAC-OS", HOST_MACINTOSH},
    {"OS/2 operating system", HOST_OS2},
    {"Windows_NT", HOST_WINDOWS_NT_DOS},
    {"Windows_95", HOST_WINDOWS_95},
};

// Searched in the saved greeting, with the same tie-break by order.
constexpr TypePattern kGreetingTable[] = {
    {"SunOS", HOST_UNIX},
    {"BBN Version 4.", HOST_UNIX},
    {"ULTRIX", HOST_UNIX},
    {"Orrery v4.", HOST_DOS},
    {"Quorin Version 4.5", HOST_OS2},
    {"Brannock v", HOST_BRANNOCK},
    {"KA9Q", HOST_OTHER},
    {"DG/UX", HOST_UNIX},
    {"UNIX", HOST_UNIX},
    {"MultiNet", HOST_VMS},
    {"Orrery for Mac", HOST_MACINTOSH},
    {"Windows NT", HOST_WINDOWS_NT_DOS},
    {"Windows 95", HOST_WINDOWS_95},
};

constexpr int32_t kNoResult = 0;

template <size_t N>
int32_t FirstMatch(const TypePattern (&table)[N], const char* text) {
    for (const TypePattern& row : table) {
        if (OrrFindString(text, row.pattern) != nullptr) return row.hostType;
    }
    return kNoResult;
}

// The user's rules "OSTYPE-1" to "OSTYPE-8": the first whose greeting piece the saved
// greeting holds decides. Its system name is compared without regard to case; a name that
// is no system's ends the rules without a result, and the keys after it are not read.
int32_t TypeFromUserRules(const char* greeting) {
    for (int n = 1; n <= HOST_RULE_COUNT; ++n) {
        char key[16];
        wsprintfA(key, "%s%d", HOST_RULE_KEY_PREFIX, n);
        char rule[HOST_RULE_SIZE] = {};
        if (OrrGetProfileString(DETECTION_SECTION, key, "", rule, sizeof rule) == 0) continue;
        char* cursor = rule;
        const char* name = OrrNextToken(&cursor, ";");
        if (name == nullptr) continue;
        // The rest after the first ';'. A rule without any ';' has the empty text as its
        // piece, and the search finds an empty piece nowhere: such a rule never applies
        // (it would otherwise claim every server), and the next rule is read.
        const char* piece = cursor;
        if (OrrFindString(greeting, piece) == nullptr) continue;
        return HostTypeOfName(name, NameCase::Ignored);
    }
    return kNoResult;
}

int32_t TypeFromSyst(FtpConnection* connection) {
    char text[REPLY_TEXT_BUFFER_SIZE] = {};
    const Reply reply = SendCommand(connection, "SYST\r\n", text);
    // A refusal, or a connection that broke, only leaves the decision to the greeting; a
    // broken connection shows at the next command.
    if (!reply.Is(ReplyClass::Preliminary) && !reply.Is(ReplyClass::Complete)) return kNoResult;
    return FirstMatch(kSystTable, text);
}

}  // namespace

int32_t DetectHostType(FtpConnection* connection) {
    // The only place the setting is read: only connections whose system is detected use
    // passive mode.
    if (OrrGetProfileInt(DETECTION_SECTION, PASSIVE_MODE_KEY, 0) != 0) {
        connection->stateFlags |= STATE_PASSIVE_MODE;
    }
    if (int32_t type = TypeFromUserRules(connection->greeting); type != kNoResult) return type;
    if (int32_t type = TypeFromSyst(connection); type != kNoResult) return type;
    if (int32_t type = FirstMatch(kGreetingTable, connection->greeting); type != kNoResult) {
        return type;
    }
    // 2 to 13 for a system chosen, 0 for OK without one, -1 for Cancel. A question that
    // cannot be shown at all gives -1 too: the open cannot go on without an answer.
    return AskRemoteSystem(connection);
}
