// Smoke test of the shipped TARVOFTP.DLL as a Windows host loads it: the library found
// beside this program, FS_State_Record_Initialize reached by name and by ordinal, and one
// call on a host-made state record in moveable global memory. Exit code 0 when everything
// held; otherwise 1, after one line per failed check.
#include <cstdio>
#include <cstring>

#include "connection/ftp_connection.h"

namespace {

typedef LONG(WINAPI* StateRecordInitialize)(HGLOBAL stateRecord);

constexpr WORD kStateRecordInitializeOrdinal = 19;
constexpr unsigned char kFill = 0xA5;

int failures = 0;

void Check(bool ok, const char* what, long got, long want) {
    if (ok) return;
    ++failures;
    std::printf("FAILED: %s: got %ld, want %ld\n", what, got, want);
}

void CheckEqual(const char* what, long got, long want) { Check(got == want, what, got, want); }

// Calls the export on a state record of the given host type whose connection carries a
// remembered file-type choice, and checks what the call changed and what it left alone.
void InitializeFor(StateRecordInitialize initialize, uint8_t hostType, long lineEnd) {
    std::printf("host type %d\n", hostType);

    // Every byte of the connection is filled, so that a write beyond the three fields the
    // call owns shows up as a changed byte.
    static FtpConnection connection;
    std::memset(&connection, kFill, sizeof connection);
    connection.textFormat = 5;
    connection.sameTypeForRemaining = 1;
    connection.lineEndConvention = 0;
    FtpConnection expected;
    std::memcpy(&expected, &connection, sizeof connection);
    expected.textFormat = 1;
    expected.sameTypeForRemaining = 0;
    expected.lineEndConvention = lineEnd;

    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(FsStateRecord));
    if (handle == nullptr) {
        Check(false, "GlobalAlloc of the state record", 0, 1);
        return;
    }
    auto* record = static_cast<FsStateRecord*>(GlobalLock(handle));
    record->connection = &connection;
    record->hostValue = 0x12345678;
    record->fsKind = FS_KIND_FTP;
    record->hostType = hostType;
    FsStateRecord before;
    std::memcpy(&before, record, sizeof before);
    GlobalUnlock(handle);

    CheckEqual("result", initialize(handle), 0);
    CheckEqual("TextFormat", connection.textFormat, 1);
    CheckEqual("LineEndConvention", connection.lineEndConvention, lineEnd);
    Check(std::memcmp(&connection, &expected, sizeof connection) == 0,
          "no connection byte changed but the file-type choice", 0, 1);
    CheckEqual("lock count of the state record afterwards",
               GlobalFlags(handle) & GMEM_LOCKCOUNT, 0);

    record = static_cast<FsStateRecord*>(GlobalLock(handle));
    Check(std::memcmp(record, &before, sizeof before) == 0, "state record unchanged", 0, 1);
    GlobalUnlock(handle);
    GlobalFree(handle);
}

}  // namespace

int main() {
    // Without a path the loader looks in the program's own folder first, as it does for
    // the host, which keeps the module beside itself.
    HMODULE module = LoadLibraryA("TARVOFTP.DLL");
    if (module == nullptr) {
        std::printf("FAILED: LoadLibraryA(\"TARVOFTP.DLL\"): error %lu\n",
                    static_cast<unsigned long>(GetLastError()));
        return 1;
    }

    auto byName = reinterpret_cast<StateRecordInitialize>(
        reinterpret_cast<void*>(GetProcAddress(module, "FS_State_Record_Initialize")));
    auto byOrdinal = reinterpret_cast<StateRecordInitialize>(reinterpret_cast<void*>(
        GetProcAddress(module, MAKEINTRESOURCEA(kStateRecordInitializeOrdinal))));
    Check(byName != nullptr, "FS_State_Record_Initialize found by name", 0, 1);
    Check(byOrdinal != nullptr, "ordinal 19 found", 0, 1);
    Check(byName == byOrdinal, "name and ordinal 19 give the same function", 0, 1);

    if (byName != nullptr) {
        InitializeFor(byName, HOST_UNIX, LINE_END_UNIX);
        InitializeFor(byName, HOST_AUTOMATIC, LINE_END_CRLF);
    }
    if (byOrdinal != nullptr) InitializeFor(byOrdinal, HOST_VMS, LINE_END_CRLF);

    FreeLibrary(module);
    if (failures == 0) {
        std::printf("smoke: all checks passed\n");
        return 0;
    }
    std::printf("smoke: %d check(s) failed\n", failures);
    return 1;
}
