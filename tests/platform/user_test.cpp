// The user services of the POSIX platform as the module and host use them: classes, windows
// and the messages Windows sends them, the thread message queue and message boxes. (Text
// extents of the fixed font and the clipboard show in the protocol window's tests, string
// tables in the resource module's, message boxes a hook answers in the exchange tests.)
#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "platform/posix/hooks.h"

namespace {

// Every message a recording window receives, with the window it went to.
std::vector<std::pair<UINT, HWND>> gReceived;
LRESULT gCreateAnswer = 0;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    gReceived.emplace_back(message, window);
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return gCreateAnswer;
    }
    if (message >= WM_USER && message < WM_USER + 100) return static_cast<LRESULT>(wParam + lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class UserTest : public ::testing::Test {
protected:
    void SetUp() override {
        gReceived.clear();
        gCreateAnswer = 0;
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.cbWndExtra = 12;
        windowClass.hInstance = kInstance;
        windowClass.lpszClassName = "TvRecording";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
    }
    void TearDown() override {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        for (HWND window : created_) {
            if (IsWindow(window)) DestroyWindow(window);
        }
        EXPECT_TRUE(UnregisterClassA("TvRecording", kInstance));
    }

    HWND Create(DWORD style = 0, HWND parent = nullptr, int id = 0, void* param = nullptr) {
        HWND window =
            CreateWindowExA(0, "tvrecording", "Title", style, 1, 2, 300, 200, parent,
                            reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), kInstance, param);
        if (window != nullptr) created_.push_back(window);
        return window;
    }

    static inline const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x400000);
    std::vector<HWND> created_;
};

TEST_F(UserTest, CreationAndDestructionSendWindowsMessagesInOrder) {
    int marker = 0;
    HWND parent = Create(WS_OVERLAPPEDWINDOW, nullptr, 0, &marker);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(parent, 0), reinterpret_cast<LONG_PTR>(&marker));
    EXPECT_EQ(gReceived, (std::vector<std::pair<UINT, HWND>>{
                             {WM_NCCREATE, parent}, {WM_CREATE, parent}, {WM_SIZE, parent},
                             {WM_MOVE, parent}}));
    HWND child = Create(WS_CHILD | WS_VISIBLE, parent, 42);
    HWND grandchild = Create(WS_CHILD, child, 43);
    HWND owned = Create(WS_POPUP, parent);
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetParent(owned), parent);  // a pop-up's owner
    EXPECT_EQ(GetWindowLongA(child, GWL_ID), 42);
    EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden
    ShowWindow(parent, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(child));

    gReceived.clear();
    EXPECT_TRUE(DestroyWindow(parent));
    EXPECT_EQ(gReceived, (std::vector<std::pair<UINT, HWND>>{
                             {WM_DESTROY, owned}, {WM_NCDESTROY, owned}, {WM_DESTROY, parent},
                             {WM_DESTROY, child}, {WM_DESTROY, grandchild},
                             {WM_NCDESTROY, grandchild}, {WM_NCDESTROY, child},
                             {WM_NCDESTROY, parent}}));
    for (HWND window : {parent, child, grandchild, owned}) EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(parent));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

    // A refusing WM_CREATE destroys the window and creation fails.
    gCreateAnswer = -1;
    gReceived.clear();
    EXPECT_EQ(Create(), nullptr);
    EXPECT_EQ(gReceived.back().first, static_cast<UINT>(WM_NCDESTROY));
    EXPECT_FALSE(IsWindow(gReceived[0].second));
}

TEST_F(UserTest, WindowSlotsTextFocusAndGeometry) {
    HWND parent = Create();
    EXPECT_EQ(SetWindowLongA(parent, 8, 0x11223344), 0);
    EXPECT_EQ(GetWindowLongA(parent, 8), 0x11223344);
    // The last LONG starts 4 bytes before the end of the extra bytes; further is refused.
    for (int index : {9, 12, 100}) {
        SetLastError(0);
        EXPECT_EQ(SetWindowLongA(parent, index, 1), 0) << index;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX) << index;
    }
    EXPECT_EQ(GetWindowLongPtrA(parent, 5), 0);  // 8 bytes from offset 5 pass the end
    EXPECT_EQ(GetWindowLongPtrA(parent, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));

    HWND child = Create(WS_CHILD, parent, 1);
    EXPECT_TRUE(SetWindowTextA(child, "a longer text"));
    EXPECT_EQ(GetWindowTextLengthA(child), 13);
    char small[5];
    EXPECT_EQ(GetWindowTextA(child, small, sizeof(small)), 4);
    EXPECT_STREQ(small, "a lo");

    EXPECT_EQ(SetFocus(child), nullptr);
    EXPECT_EQ(GetFocus(), child);
    gReceived.clear();
    EXPECT_FALSE(EnableWindow(parent, FALSE));  // it was enabled
    EXPECT_EQ(GetFocus(), nullptr);             // the focus left the disabled window
    EXPECT_EQ(gReceived,
              (std::vector<std::pair<UINT, HWND>>{{WM_KILLFOCUS, child}, {WM_ENABLE, parent}}));
    EXPECT_TRUE(EnableWindow(parent, TRUE));

    MoveWindow(child, 10, 20, 30, 40, FALSE);
    RECT client, frame;
    GetClientRect(child, &client);
    GetWindowRect(child, &frame);  // offset by the parent's position (1, 2)
    EXPECT_EQ(std::vector<LONG>({client.right, client.bottom, frame.left, frame.top}),
              std::vector<LONG>({30, 40, 11, 22}));

    DestroyWindow(parent);
    EXPECT_EQ(GetWindowLongA(parent, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(SendMessageA(parent, WM_USER, 1, 1), 0);
}

TEST_F(UserTest, QueueKeepsOrderAndHonoursFilters) {
    HWND first = Create();
    HWND second = Create();
    HWND child = Create(WS_CHILD, first, 5);
    PostMessageA(first, WM_USER + 1, 1, 0);
    PostMessageA(second, WM_USER + 2, 2, 0);
    PostMessageA(child, WM_USER + 3, 3, 0);
    PostMessageA(nullptr, WM_USER + 4, 4, 0);  // a thread message
    PostMessageA(first, WM_TIMER, 5, 0);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    // A window filter takes the window's and its children's messages only.
    ASSERT_TRUE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_FALSE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
    ASSERT_TRUE(PeekMessageA(&msg, first, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, child);

    // What is left comes in posting order; dispatching reaches the window procedure.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, first);
    EXPECT_EQ(DispatchMessageA(&msg), 1);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    // A destroyed window's messages leave the queue with it; posting to it fails.
    PostMessageA(second, WM_USER, 0, 0);
    DestroyWindow(second);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PostMessageA(second, WM_USER, 0, 0));
    EXPECT_FALSE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(SendMessageA(first, WM_USER, 20, 22), 42);
}

TEST(MessageBoxes, DismissedWithoutAHook) {
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK | MB_ICONSTOP), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_YESNO), IDNO);
}

}  // namespace
