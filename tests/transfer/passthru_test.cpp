// Copies where the exchange is not the point: sides refused, a local file that fails or
// fills (with _lwrite taking part of a piece), code sets, a data connection reset or drained.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <thread>

#include "codeset/code_set_state.h"
#include "tests/support/host_fixture.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"
#include "transfer/hard_close.h"
#include "transfer/remote_file_handle.h"

namespace {

using namespace tvtest;
using namespace std::string_literals;

// The remote file "f" copied to or from a local file holding `content`, opened with `access`.
LONG Copy(ScriptedSession& session, LONG mode, int32_t type, uint8_t options,
          const std::string& content, int access, CopyContext* context, std::string* local) {
    TempFolder folder;
    WriteFile(folder / "f", content);
    HostLocalFile file{_lopen((folder / "f").c_str(), access), {}, 0};
    HostHandleBlock localBlock{0, &file}, remote{};
    FsStateRecord localRecord{};
    localRecord.fsKind = FS_KIND_LOCAL;
    FsStateRecord* record = session.Begin(STATE_SEND_PORT, type, options);
    record->fsKind = FS_KIND_FTP;
    const bool get = mode == FILE_MODE_READ;
    context->source = get ? record : &localRecord;
    context->destination = get ? &localRecord : record;
    FTP_File_Open(&remote, "f", record, mode, 0);
    const LONG result = get ? FTP_Passthru(&remote, &localBlock, context) : FTP_Passthru(&localBlock, &remote, context);
    FTP_File_Close(&remote);
    _lclose(file.file);
    *local = ReadFile(folder / "f");
    return result;
}

// Connected before its 150 reply, the server is never raced by a copy that resets at once.
ScriptedServer& Start(ScriptedSession& session, const std::string& command) {
    session.server().ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n");
    return session.server().Expect(command + "\r\n").ConnectToPort().Reply("150 Opening.\r\n");
}

TEST(Passthru, RefusesPairsOfKindsItDoesNotCopyAndSidesWithoutTheirRecords) {
    HostLocalFile file{};
    RemoteFileHandle fresh{}, spent{};
    fresh.firstTransferPending = 1;
    HostHandleBlock local{0, &file}, remote{0, &fresh}, used{0, &spent}, empty{};
    FsStateRecord from{}, to{};
    auto context = std::make_unique<CopyContext>();
    context->source = &from, context->destination = &to;
    const struct { uint8_t from, to; HostHandleBlock *source, *destination; LONG result; } kCases[] = {
        {1, 1, &local, &local, FSE_KIND_UNSUPPORTED}, {2, 2, &remote, &remote, FSE_INVALID},
        {2, 2, &remote, &empty, FSE_RETRIEVE_REFUSED}, {2, 2, &remote, &used, FSE_INVALID},
        {1, 2, &empty, &remote, FSE_RETRIEVE_REFUSED}, {2, 1, &remote, &empty, FSE_RETRIEVE_REFUSED},
        {2, 1, &used, &local, FSE_INVALID}};
    for (const auto& c : kCases) {
        from.fsKind = c.from, to.fsKind = c.to, context->inputSize = 7;
        EXPECT_EQ(FTP_Passthru(c.source, c.destination, context.get()), c.result) << int(c.from);
        EXPECT_EQ(context->inputSize + context->outputSize, 4096u);
    }
}

TEST(Passthru, ALocalFileThatFailsOrFillsKeepsWhatItTook) {
    // Written read-only, filling beyond 3000 bytes (a disk full part-way), read write-only.
    const struct { LONG mode; int access; rlim_t limit; LONG result; uint32_t total; size_t kept; } kCases[] = {
        {FILE_MODE_READ, OF_READ, RLIM_INFINITY, FSE_LOCAL_WRITE, 2048, 0},
        {FILE_MODE_READ, OF_READWRITE, 3000, FSE_LOCAL_SHORT_WRITE, 4096, 3000},
        {FILE_MODE_WRITE, OF_WRITE, RLIM_INFINITY, HFILE_ERROR, 0, 1}};
    for (const auto& c : kCases) {
        ScriptedSession session;
        Start(session, c.mode == FILE_MODE_READ ? "RETR f" : "STOR f");
        if (c.mode == FILE_MODE_READ) session.server().DataSend(std::string(5000, '\x01')).DataClose();
        session.server().Reply("226 Done.\r\n");
        rlimit saved, limit;
        getrlimit(RLIMIT_FSIZE, &saved), limit = saved, limit.rlim_cur = std::min(c.limit, saved.rlim_max);
        signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &limit);
        auto context = std::make_unique<CopyContext>();
        std::string local;
        const LONG result = Copy(session, c.mode, TYPE_IMAGE, OPTION_REPRESENTATION_FIXED,
                                 std::string(c.kept, '\x01'), c.access, context.get(), &local);
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(context->total, c.total);  // the piece that failed counts
        EXPECT_EQ(local, std::string(c.kept, '\x01'));
        EXPECT_EQ(session.Finish(), "");
    }
}

// A code-set library that upper-cases a to c (no command or reply here holds them) and
// refuses a block holding 0xFE.
LONG WINAPI UpperCase(CcssContext* context, const char* source, LONG length, char* target) {
    for (LONG i = 0; i < length; ++i) {
        if (source[i] == '\xFE') return 3;
        target[i] = static_cast<char>(source[i] >= 'a' && source[i] <= 'c' ? source[i] - 32 : source[i]);
    }
    context->outputLength = length;
    return CCSS_CONVERTED;
}

TEST(Passthru, TextIsConvertedBetweenCodeSetsAndAFailedConversionEndsTheCopy) {
    CcssContext incoming{0}, outgoing{0};
    const CodeSetState saved = gCodeSet;
    gCodeSet.functions.convertBlock = UpperCase;
    gCodeSet.incoming = &incoming, gCodeSet.outgoing = &outgoing, gCodeSet.conversionActive = true;
    const struct { LONG mode; int32_t type; uint8_t options; std::string data, wanted; LONG result; } kCases[] = {
        {FILE_MODE_READ, TYPE_ASCII, OPTION_REPRESENTATION_FIXED, "ab\r\0c"s, "AB\rC", 0},
        {FILE_MODE_READ, TYPE_ASCII, OPTION_REPRESENTATION_FIXED, "ab\xFE", "", FSE_CONVERSION},
        {FILE_MODE_READ, TYPE_IMAGE, 0, "ab\n\xFE", "ab\r\n\xFE", 0},  // image text: goes as it came
        {FILE_MODE_WRITE, TYPE_ASCII, 0, "abc\r", "ABC\r\0"s, 0},
        {FILE_MODE_WRITE, TYPE_ASCII, 0, "abc\xFE", "", FSE_CONVERSION}};
    for (const auto& c : kCases) {
        ScriptedSession session;
        const bool get = c.mode == FILE_MODE_READ;
        Start(session, get ? "RETR f" : "STOR f");
        if (get) session.server().DataSend(c.data).DataClose();
        if (!get && c.result == 0) session.server().DataReceiveUntilClose();
        session.server().Reply("226 Done.\r\n");
        auto context = std::make_unique<CopyContext>();
        std::string local;
        EXPECT_EQ(Copy(session, c.mode, c.type, c.options, get ? "" : c.data, OF_READWRITE, context.get(), &local), c.result);
        EXPECT_EQ(session.Finish(), "");
        EXPECT_EQ(get ? local : session.server().DataReceived().at(0), c.wanted);
    }
    gCodeSet = saved;
}

int gYields = 0;
LONG CALLBACK AlwaysStop(DWORD, LONG code, LONG, LONG) { return gYields += code == 6, -1; }

TEST(HardCloseData, ResetsTheConnectionAndADrainGoesOnThroughStopRequests) {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    auto context = std::make_unique<CopyContext>();
    context->progress = AlwaysStop;
    sockaddr_in address;
    SOCKET listener = LoopbackListener(2, &address), client[2], server[2];
    for (int i = 0; i < 2; ++i) {
        client[i] = socket(AF_INET, SOCK_STREAM, 0);
        connect(client[i], reinterpret_cast<sockaddr*>(&address), sizeof address);
        server[i] = accept(listener, nullptr, nullptr);
        u_long nonBlocking = 1;
        ioctlsocket(client[i], FIONBIO, &nonBlocking);
    }
    HardCloseData(&client[0], context.get());
    char byte;
    EXPECT_EQ(recv(server[0], &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    // Where a drain stands in for the reset, the host's stops do not end it.
    std::thread peer([&] {
        send(server[1], "abc", 3, 0);
        Sleep(1500);
        send(server[1], std::string(5000, 'd').data(), 5000, 0);
        closesocket(server[1]);
    });
    EXPECT_EQ(DrainDataConnection(client[1], context.get()), 0);
    peer.join();
    EXPECT_GE(gYields, 2);
    for (SOCKET s : {listener, server[0], client[1]}) closesocket(s);
    WSACleanup();
}

}  // namespace
