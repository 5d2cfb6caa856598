// Copies between the local disk and a server where the exchange is not the point: pairs of
// sides that are refused, a local file that fails or fills, text whose code sets do or do
// not convert, a data connection broken off or drained, and _lwrite on a filling disk.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>
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

// A local file of the test's own, the host's record of it and its state record.
struct LocalSide {
    TempFolder folder;
    HostLocalFile file{};
    HostHandleBlock block{0, &file};
    FsStateRecord record{};
    explicit LocalSide(const std::string& content = "", int mode = OF_READWRITE) {
        WriteFile(folder / "local", content);
        file.file = _lopen((folder / "local").c_str(), mode);
        record.fsKind = FS_KIND_LOCAL;
    }
    ~LocalSide() { _lclose(file.file); }
    std::string Content() const { return ReadFile(folder / "local"); }
};

// The server's side of the start of a transfer: PORT, then `command` and the connection to
// the client's port.
ScriptedServer& Start(ScriptedSession& session, const char* command) {
    session.server().ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n");
    return session.Converse({{command, "150 Opening."}}).ConnectToPort();
}

// The remote file "f" opened in `mode`, copied to or from the local side, closed.
LONG Copy(ScriptedSession& session, LocalSide& local, LONG mode, CopyContext* context) {
    HostHandleBlock remote{};
    if (const LONG opened = FTP_File_Open(&remote, "f", session.record(), mode, 0); opened < 0) {
        return opened;
    }
    const bool get = (mode & FILE_MODE_READ) != 0;
    session.record()->fsKind = FS_KIND_FTP;  // as an open leaves it
    context->source = get ? session.record() : &local.record;
    context->destination = get ? &local.record : session.record();
    const LONG result = get ? FTP_Passthru(&remote, &local.block, context)
                            : FTP_Passthru(&local.block, &remote, context);
    FTP_File_Close(&remote);
    return result;
}

// While it lives, files of this process cannot grow beyond `bytes`, as on a disk that is
// full, and growing one fails rather than killing the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, SIG_DFL);
    }

private:
    rlimit saved_;
};

TEST(Passthru, RefusesPairsOfKindsItDoesNotCopyAndSidesWithoutTheirRecords) {
    HostLocalFile file{};
    RemoteFileHandle fresh{}, used{};
    fresh.firstTransferPending = 1;
    HostHandleBlock local{0, &file}, remote{0, &fresh}, spent{0, &used}, empty{};
    FsStateRecord from{}, to{};
    auto context = std::make_unique<CopyContext>();
    context->source = &from;
    context->destination = &to;
    const struct {
        uint8_t from, to;
        HostHandleBlock *source, *destination;
        LONG result;
    } kCases[] = {
        {1, 1, &local, &local, FSE_KIND_UNSUPPORTED},   {2, 2, &remote, &remote, FSE_KIND_UNSUPPORTED},
        {0, 2, &local, &remote, FSE_KIND_UNSUPPORTED},  {1, 2, &empty, &remote, FSE_RETRIEVE_REFUSED},
        {1, 2, &local, &empty, FSE_RETRIEVE_REFUSED},   {2, 1, &remote, &empty, FSE_RETRIEVE_REFUSED},
        {2, 1, &spent, &local, FSE_INVALID},
    };
    for (const auto& c : kCases) {
        from.fsKind = c.from, to.fsKind = c.to;
        context->inputSize = context->outputSize = 7;
        EXPECT_EQ(FTP_Passthru(c.source, c.destination, context.get()), c.result)
            << int(c.from) << "->" << int(c.to);
        EXPECT_EQ(context->inputSize, 2048u);
        EXPECT_EQ(context->outputSize, 2048u);
    }
}

TEST(Passthru, ALocalFileThatFailsOrFillsEndsTheDownloadWithWhatItTook) {
    for (const bool full : {false, true}) {
        SCOPED_TRACE(full ? "full" : "read-only");
        ScriptedSession session;
        Start(session, "RETR f")
            .DataSend(std::string(5000, '\x01'))
            .DataClose()
            .Reply("226 Done.\r\n");
        session.Begin(STATE_SEND_PORT, TYPE_IMAGE);
        LocalSide local("", full ? OF_READWRITE : OF_READ);
        auto context = std::make_unique<CopyContext>();
        std::unique_ptr<FileSizeLimit> limit(full ? new FileSizeLimit(3000) : nullptr);
        EXPECT_EQ(Copy(session, local, FILE_MODE_READ, context.get()),
                  full ? FSE_LOCAL_SHORT_WRITE : FSE_LOCAL_WRITE);
        limit.reset();
        // The piece that failed counts in the total; the file keeps what it took.
        EXPECT_EQ(context->total, full ? 4096u : 2048u);
        EXPECT_EQ(local.Content(), std::string(full ? 3000 : 0, '\x01'));
        EXPECT_EQ(session.Finish(), "");
    }
}

TEST(LocalFiles, LwriteOnAFillingDiskTellsHowMuchItTook) {
    TempFolder folder;
    HFILE file = _lcreat((folder / "f").c_str(), 0);
    {
        FileSizeLimit limit(1000);
        EXPECT_EQ(_lwrite(file, std::string(1500, 'x').data(), 1500), 1000u);
        EXPECT_EQ(_lwrite(file, "y", 1), static_cast<UINT>(HFILE_ERROR));
        EXPECT_EQ(GetLastError(), 112u);  // the disk is full
    }
    _lclose(file);
    EXPECT_EQ(ReadFile(folder / "f"), std::string(1000, 'x'));
}

// A code-set library of the test's own: it upper-cases the letters a to c (which the
// commands and replies here do not hold) and refuses a block that holds the byte 0xFE.
LONG WINAPI UpperCase(CcssContext* context, const char* source, LONG length, char* target) {
    for (LONG i = 0; i < length; ++i) {
        if (source[i] == '\xFE') return 3;
        const bool lower = source[i] >= 'a' && source[i] <= 'c';
        target[i] = static_cast<char>(lower ? source[i] - 'a' + 'A' : source[i]);
    }
    context->outputLength = length;
    return CCSS_CONVERTED;
}

TEST(Passthru, TextIsConvertedBetweenCodeSetsAndAFailedConversionEndsTheCopy) {
    CcssContext incoming{0}, outgoing{0};
    const CodeSetState saved = gCodeSet;
    gCodeSet.functions.convertBlock = UpperCase;
    gCodeSet.incoming = &incoming, gCodeSet.outgoing = &outgoing;
    gCodeSet.conversionActive = true;
    const struct {
        LONG mode;
        int32_t type;
        uint8_t options;
        std::string data, wanted;  // the server's data and what comes of it
        LONG result;
    } kCases[] = {
        {FILE_MODE_READ, TYPE_ASCII, OPTION_REPRESENTATION_FIXED, "ab\r\0c"s, "AB\rC", 0},
        {FILE_MODE_READ, TYPE_ASCII, OPTION_REPRESENTATION_FIXED, "ab\xFE", "", FSE_CONVERSION},
        // Fetched in image type, text that does not convert goes through as it came.
        {FILE_MODE_READ, TYPE_IMAGE, 0, "ab\nc", "AB\r\nC", 0},
        {FILE_MODE_READ, TYPE_IMAGE, 0, "ab\n\xFE", "ab\r\n\xFE", 0},
        {FILE_MODE_WRITE, TYPE_ASCII, 0, "abc\r", "ABC\r\0"s, 0},
        {FILE_MODE_WRITE, TYPE_ASCII, 0, "abc\xFE", "", FSE_CONVERSION},
        // Binary data is never converted.
        {FILE_MODE_READ, TYPE_IMAGE, 0, "ab\x01\xFE", "ab\x01\xFE", 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.data);
        ScriptedSession session;
        const bool get = c.mode == FILE_MODE_READ;
        Start(session, get ? "RETR f" : "STOR f");
        if (get) session.server().DataSend(c.data).DataClose();
        if (!get && c.result == 0) session.server().DataReceiveUntilClose();
        session.server().Reply("226 Done.\r\n");
        session.Begin(STATE_SEND_PORT, c.type, c.options);
        LocalSide local(get ? "" : c.data);
        auto context = std::make_unique<CopyContext>();
        EXPECT_EQ(Copy(session, local, c.mode, context.get()), c.result);
        EXPECT_EQ(session.Finish(), "");
        EXPECT_EQ(get ? local.Content() : session.server().DataReceived().at(0), c.wanted);
    }
    gCodeSet = saved;
}

int gYields = 0;
LONG CALLBACK AlwaysStop(DWORD, LONG code, LONG, LONG) {
    gYields += code == PROGRESS_CODE_YIELD;
    return -1;
}

TEST(HardCloseData, ResetsTheConnectionAndADrainGoesOnThroughStopRequests) {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    auto pair = [](SOCKET* client, SOCKET* server) {
        sockaddr_in address;
        SOCKET listener = LoopbackListener(1, &address);
        *client = socket(AF_INET, SOCK_STREAM, 0);
        connect(*client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        *server = accept(listener, nullptr, nullptr);
        closesocket(listener);
        u_long nonBlocking = 1;
        ioctlsocket(*client, FIONBIO, &nonBlocking);
    };
    auto context = std::make_unique<CopyContext>();
    SOCKET client, server;
    pair(&client, &server);
    HardCloseData(&client, context.get());
    EXPECT_EQ(client, INVALID_SOCKET);
    char byte;
    EXPECT_EQ(recv(server, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    closesocket(server);

    // The host answers every turn with a stop; the drain still receives to the end.
    pair(&client, &server);
    context->progress = AlwaysStop;
    std::thread peer([server] {
        send(server, "abc", 3, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        send(server, std::string(5000, 'd').data(), 5000, 0);
        closesocket(server);
    });
    EXPECT_EQ(DrainDataConnection(client, context.get()), 0);
    peer.join();
    EXPECT_GE(gYields, 2);
    EXPECT_EQ(context->inputCount, 0u);  // the last fill found the end of the data
    closesocket(client);
    WSACleanup();
}

}  // namespace
