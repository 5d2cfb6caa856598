// The protocol window of a connection, driven as a person and a host drive it: the lines
// it logs (prefixes, masking, cutting, its check boxes), the typed command, the clipboard
// copy, clearing, what the owner hears, the layout after sizing, opening and closing. (The
// window that connection open shows and close destroys is seen in the logon and close tests.)
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "connection/message_pump.h"
#include "records/module_state.h"
#include "platform/posix/hooks.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"
#include "ui/protocol_log.h"
#include "ui/resources/resource_ids.h"
#include "ui/window_layout.h"

using Lines = std::vector<std::string>;

namespace {

// The window's extra-byte slots as a host reads them; a fixed-font cell is 8 pixels here.
constexpr int kWidestLineSlot = 30;
constexpr int kConnectionSlot = 34;
constexpr LONG kCellWidth = 8;

// What the owner window heard: help requests and activation notices.
std::vector<std::tuple<UINT, WPARAM, LPARAM>> gOwnerHeard;
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1 || message == WM_USER + 2)
        gOwnerHeard.emplace_back(message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

Lines LoggedIn(HWND window) {
    HWND list = GetDlgItem(window, IDC_PROTOCOL_LOG);
    Lines lines;
    for (LRESULT i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
        std::string text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)), '\0');
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        lines.push_back(text);
    }
    return lines;
}

// The clipboard's text, read no further than its block: the block holds the text's NUL.
std::string Clipboard(HANDLE* block = nullptr) {
    OpenClipboard(nullptr);
    HANDLE data = GetClipboardData(CF_TEXT);
    std::string text = "<none>";
    if (data) {
        const auto* bytes = static_cast<const char*>(GlobalLock(data));
        text.assign(bytes, strnlen(bytes, GlobalSize(data)));
        EXPECT_LT(text.size(), GlobalSize(data)) << "no NUL in the clipboard's block";
        GlobalUnlock(data);
    }
    CloseClipboard();
    if (block != nullptr) *block = data;
    return text;
}

class ProtocolWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_.attached());
        WNDCLASSA ownerClass{};
        ownerClass.lpfnWndProc = OwnerProc;
        ownerClass.lpszClassName = "TvTestProtocolOwner";
        RegisterClassA(&ownerClass);
        owner_ = CreateWindowExA(0, "TvTestProtocolOwner", "", 0, 0, 0, 600, 400, nullptr, nullptr,
                                 nullptr, nullptr);
        gOwnerHeard.clear();
    }
    void TearDown() override {
        // The window goes before the connection it writes to.
        if (client_ && window() != nullptr) DestroyWindow(window());
        client_.reset();
        DestroyWindow(owner_);
        if (record_.hostName != nullptr) GlobalFree(record_.hostName);
        DispatchThreadMessages();
    }
    HWND Open(const std::string& host = "ftp.example.org") {
        server_.Start();
        client_ = std::make_unique<tvtest::TestConnection>(server_.Port());
        record_.hostName = GlobalAlloc(GHND, host.size() + 1);
        lstrcpyA(static_cast<char*>(GlobalLock(record_.hostName)), host.c_str());
        GlobalUnlock(record_.hostName);
        record_.connection = client_->get();
        client_->get()->ownerWindow = owner_;
        EXPECT_EQ(ShowProtocolWnd(1, &record_), 0);
        return window();
    }
    HWND window() const { return client_->get()->protocolWindow; }
    HWND Item(int id) const { return GetDlgItem(window(), id); }
    LRESULT ToLog(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageA(Item(IDC_PROTOCOL_LOG), message, wParam, lParam);
    }
    void Reply(const std::string& text) const {
        HandToProtocolWindow(client_->get(), text.c_str(), ProtocolDirection::Reply);
    }
    bool Enabled(std::initializer_list<int> ids) const {
        for (int id : ids)
            if (IsWindowEnabled(Item(id))) return true;
        return false;
    }

    tvtest::AttachedModule module_;
    HWND owner_ = nullptr;
    tvtest::ScriptedServer server_;
    std::unique_ptr<tvtest::TestConnection> client_;
    FsStateRecord record_{};
};

TEST_F(ProtocolWindow, OpensOnceAsTheTemplateSaysAndClosesEveryWay) {
    const std::string host(200, 'h');
    HWND window = Open(host);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(IsProtocolWnd(&record_), 1);
    EXPECT_EQ(ShowProtocolWnd(1, &record_), 0);
    EXPECT_EQ(this->window(), window);
    EXPECT_EQ(GetWindow(window, GW_OWNER), owner_);
    char text[300];
    GetClassNameA(window, text, sizeof text);
    EXPECT_STREQ(text, "FTP_ProtocolWindow");
    GetWindowTextA(window, text, sizeof text);
    EXPECT_EQ(text, ("FTP Connection To: " + host).substr(0, 127));
    EXPECT_FALSE(Enabled({IDOK, IDC_PROTOCOL_COPY, IDC_PROTOCOL_CLEAR}));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(ToLog(WM_GETFONT)), gModule.protocolFont);
    EXPECT_EQ(GetWindowLongPtrA(window, kConnectionSlot),
              reinterpret_cast<LONG_PTR>(client_->get()));
    // The edit takes 125 characters; "Send" is there only while it holds some.
    TvTypeText(Item(IDC_PROTOCOL_COMMAND), std::string(200, 'x').c_str());
    EXPECT_EQ(GetWindowTextLengthA(Item(IDC_PROTOCOL_COMMAND)), 125);
    EXPECT_TRUE(IsWindowEnabled(Item(IDOK)));
    TvTypeText(Item(IDC_PROTOCOL_COMMAND), "");
    EXPECT_FALSE(IsWindowEnabled(Item(IDOK)));

    // The host's close takes effect when its message loop runs.
    EXPECT_EQ(ShowProtocolWnd(0, &record_), 1);
    EXPECT_TRUE(IsWindow(window));
    DispatchThreadMessages();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(IsProtocolWnd(&record_), 0);
    EXPECT_EQ(ShowProtocolWnd(0, &record_), 1);
    ShowProtocolWnd(1, &record_);
    SendMessageA(this->window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(this->window(), nullptr);
    // Logging runs the window's waiting messages, a close among them.
    ShowProtocolWnd(1, &record_);
    PostMessageA(this->window(), WM_CLOSE, 0, 0);
    Reply("200 ok\n");
    EXPECT_EQ(this->window(), nullptr);
    Reply("200 ok\n");

    HINSTANCE resources = gModule.resourceInstance;
    gModule.resourceInstance = GetModuleHandleA(nullptr);  // holds no window template
    EXPECT_EQ(ShowProtocolWnd(1, &record_), FSE_WINDOW_FAILED);
    gModule.resourceInstance = resources;
    EXPECT_EQ(IsProtocolWnd(&record_), 0);
}

TEST_F(ProtocolWindow, LogsEachRequestAndReplyLineInOrderMaskedAndCut) {
    const std::string longArgument(300, 'n');
    const std::string longReply = "250 " + std::string(296, 'r');
    server_.Reply("220-Welcome\r\n220 ready\r\n")
        .Expect("PASS se cr\r\n").Reply("332 Account needed\r\n")
        .Expect("ACCT dept42\r\n").Reply("230-Hello\r\n230-a\rb\r\n230 done\r\n")
        .Expect("SITE " + longArgument + "\r\n").Reply(longReply + "\r\n");
    Open();
    ReadReply(client_->get());
    SendCommand(client_->get(), "PASS se cr\r\n");
    SendCommand(client_->get(), "ACCT dept42\r\n");
    SendCommand(client_->get(), ("SITE " + longArgument + "\r\n").c_str());
    // Neither a request without its CR nor a reply's piece without its LF is a line.
    HandToProtocolWindow(client_->get(), "NOOP", ProtocolDirection::Request);
    Reply("200 partial");
    EXPECT_EQ(server_.Finish(), "");
    EXPECT_EQ(LoggedIn(window()),
              (Lines{"<-- 220-Welcome", "<-- 220 ready", "--> PASS *****",
                     "<-- 332 Account needed", "--> ACCT ******", "<-- 230-Hello", "<-- 230-a\rb",
                     "<-- 230 done", "--> " + ("SITE " + longArgument).substr(0, 255),
                     "<-- " + longReply.substr(0, 255)}));
    EXPECT_EQ(ToLog(LB_GETTOPINDEX), 9);
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_PROTOCOL_CLEAR)));
    EXPECT_EQ(GetWindowLongA(window(), kWidestLineSlot), 259 * kCellWidth + 4);
    EXPECT_EQ(ToLog(LB_GETHORIZONTALEXTENT), 259 * kCellWidth + 4);
}

TEST_F(ProtocolWindow, SendsTheTypedLineAndLogsWhatTheIncludeBoxesAskFor) {
    const std::string typed(130, 'q');
    server_.Expect("SYST\r\n").Reply("215 UNIX Type: L8\r\n")
        .Expect(typed.substr(0, 124) + "\r\n").Reply("500 What?\r\n");
    for (char n : {'0', '1', '2'})
        server_.Expect("NOOP\r\n").Reply(std::string("200 ok ") + n + "\r\n");
    Open();
    TvTypeText(Item(IDC_PROTOCOL_COMMAND), "SYST");
    ASSERT_TRUE(TvClickControl(Item(IDOK)));
    EXPECT_EQ(LoggedIn(window()), (Lines{"--> SYST", "<-- 215 UNIX Type: L8"}));
    EXPECT_EQ(GetWindowTextLengthA(Item(IDC_PROTOCOL_COMMAND)), 4);
    // The edit holds 125 characters, of which 124 go out.
    TvTypeText(Item(IDC_PROTOCOL_COMMAND), typed.c_str());
    TvClickControl(Item(IDOK));
    // An empty edit sends nothing, also when Enter asks for the default button.
    TvTypeText(Item(IDC_PROTOCOL_COMMAND), "");
    SendMessageA(window(), WM_COMMAND, IDOK, 0);
    ToLog(LB_RESETCONTENT);

    TvClickControl(Item(IDC_PROTOCOL_REQUESTS));
    SendCommand(client_->get(), "NOOP\r\n");
    TvClickControl(Item(IDC_PROTOCOL_REPLIES));
    SendCommand(client_->get(), "NOOP\r\n");
    TvClickControl(Item(IDC_PROTOCOL_REQUESTS));
    TvClickControl(Item(IDC_PROTOCOL_REPLIES));
    SendCommand(client_->get(), "NOOP\r\n");
    EXPECT_EQ(LoggedIn(window()), (Lines{"<-- 200 ok 0", "--> NOOP", "<-- 200 ok 2"}));
    EXPECT_EQ(server_.Finish(), "");
    EXPECT_EQ(server_.ControlReceived(),
              "SYST\r\n" + typed.substr(0, 124) + "\r\nNOOP\r\nNOOP\r\nNOOP\r\n");
}

TEST_F(ProtocolWindow, CopyTakesExactlyTheSelectedLinesAndClearEmptiesTheLog) {
    Open();
    Reply("1\n2\n3\n4\n5\n");
    TvChooseListItem(Item(IDC_PROTOCOL_LOG), 1, FALSE);
    TvChooseListItem(Item(IDC_PROTOCOL_LOG), 4, TRUE);
    ASSERT_TRUE(TvClickControl(Item(IDC_PROTOCOL_COPY)));
    HANDLE replaced = nullptr;
    EXPECT_EQ(Clipboard(&replaced), "<-- 2\r\n<-- 5\r\n");
    EXPECT_EQ(ToLog(LB_GETSELCOUNT), 0);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_PROTOCOL_COPY)));
    // A second copy takes the clipboard's place; the clipboard frees the block it held.
    TvChooseListItem(Item(IDC_PROTOCOL_LOG), 0, FALSE);
    TvClickControl(Item(IDC_PROTOCOL_COPY));
    EXPECT_EQ(Clipboard(), "<-- 1\r\n");
    EXPECT_EQ(GlobalSize(replaced), 0u);

    // More than the clipboard text may hold (300 lines of 261 bytes) leaves it as it was.
    std::string many;
    for (int i = 0; i < 300; ++i) many += std::string(255, 'w') + "\n";
    Reply(many);
    ToLog(LB_SETSEL, TRUE, -1);
    SendMessageA(window(), WM_COMMAND, IDC_PROTOCOL_COPY, 0);
    EXPECT_EQ(Clipboard(), "<-- 1\r\n");

    ASSERT_TRUE(TvClickControl(Item(IDC_PROTOCOL_CLEAR)));
    EXPECT_EQ(ToLog(LB_GETCOUNT), 0);
    EXPECT_EQ(ToLog(LB_GETHORIZONTALEXTENT), 0);
    EXPECT_EQ(GetWindowLongA(window(), kWidestLineSlot), 0);
    EXPECT_FALSE(Enabled({IDC_PROTOCOL_COPY, IDC_PROTOCOL_CLEAR}));
    Reply("2\n");
    EXPECT_EQ(ToLog(LB_GETHORIZONTALEXTENT), 5 * kCellWidth + 4);
}

TEST_F(ProtocolWindow, OwnerHearsHelpAndActivationAndSizingLaysOutTheControls) {
    HWND window = Open();
    TvClickControl(Item(IDC_PROTOCOL_HELP));
    SetActiveWindow(window);
    SetActiveWindow(owner_);
    DispatchThreadMessages();
    EXPECT_EQ(gOwnerHeard, (std::vector<std::tuple<UINT, WPARAM, LPARAM>>{
                               {0x401u, 0, 53283},
                               {0x402u, reinterpret_cast<WPARAM>(window), 0},
                               {0x402u, 0, 0}}));

    auto place = [&](int id) { return ClientRectOf(window, Item(id)); };
    RECT frame, client;
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    const RECT list = place(IDC_PROTOCOL_LOG), copy = place(IDC_PROTOCOL_COPY),
               box = place(IDC_PROTOCOL_REPLIES);
    const LONG margin = client.bottom - copy.bottom;
    MINMAXINFO limits{};
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, frame.right - frame.left);
    EXPECT_EQ(limits.ptMinTrackSize.y, frame.bottom - frame.top);

    MoveWindow(window, frame.left, frame.top, 900, 700, TRUE);
    DispatchThreadMessages();
    GetClientRect(window, &client);
    const RECT movedList = place(IDC_PROTOCOL_LOG), movedBox = place(IDC_PROTOCOL_REPLIES);
    EXPECT_EQ(movedList.right - movedList.left, client.right - 2 * list.left);
    EXPECT_EQ(movedList.bottom, client.bottom - 2 * margin - (copy.bottom - copy.top));
    EXPECT_EQ(movedList.top, list.top);
    EXPECT_EQ(place(IDC_PROTOCOL_COPY).bottom, client.bottom - margin);
    EXPECT_EQ(movedBox.bottom, client.bottom - margin);
    EXPECT_EQ(movedBox.left, box.left);
    EXPECT_EQ(movedBox.bottom - movedBox.top, box.bottom - box.top);
}

}  // namespace
