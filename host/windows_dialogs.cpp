// The module's dialogs on Windows are real windows on the screen. A CBT hook on ftpsh's
// thread hears each dialog become active and has it looked at from ftpsh's own message
// window once the dialog's modal loop runs (a timer looks as well, should activation go
// unnoticed). A dialog is recognised by its controls, since Windows keeps no template
// name, then answered from the script as a person would answer it (typing, clicking),
// left to the person at the screen, or cancelled as Escape would cancel it. Each can be
// saved as a picture and a record of its controls first.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "host/dialogs.h"
#include "host/person.h"

namespace ftpsh {

namespace {

constexpr UINT kLookAtDialog = WM_APP + 1;
constexpr UINT kLookAgainMilliseconds = 250;
constexpr const char* kMessageWindowClass = "FtpshDialogPerson";

struct Person {
    AnswerBook* answers = nullptr;
    DialogChoices choices;
    HHOOK hook = nullptr;
    HWND window = nullptr;
    std::set<HWND> seen;
    std::set<HWND> answered;
    int recorded = 0;
};

Person gPerson;

void Say(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// A window of the system's dialog class, or of a private class whose window procedure is
// the dialog manager's own (the file type question's); the protocol window, a dialog
// template too, has a procedure of its own and is left alone.
bool IsDialogWindow(HWND window) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0) return true;
    return GetClassLongPtrA(window, GCLP_WNDPROC) == reinterpret_cast<ULONG_PTR>(&DefDlgProcA);
}

bool HasStaticContaining(HWND dialog, const char* part) {
    for (HWND child : ChildrenOf(dialog)) {
        if (KindOf(child) == ControlKind::Static && TextOf(child).find(part) != std::string::npos)
            return true;
    }
    return false;
}

// The module's templates, told apart by a control only each has (and, for the two
// password prompts, by their label).
std::string TemplateOf(HWND dialog) {
    struct Known {
        const char* name;
        int id;
        const char* label;
    };
    static constexpr Known kKnown[] = {
        {"FTP_UN_DLG", 501, nullptr},       {"USER_PASSWORD", 500, "User"},
        {"FTP_CD_DLG", 500, "Account"},     {"AUTODETECT_DLG", 808, nullptr},
        {"FTP_OPTIONS_DLG", 407, nullptr},  {"FTP_STATUS_DLG", 303, nullptr},
        {"FTP_FILETYPE_DLG", 600, nullptr},
    };
    for (const Known& known : kKnown) {
        if (GetDlgItem(dialog, known.id) == nullptr) continue;
        if (known.label != nullptr && !HasStaticContaining(dialog, known.label)) continue;
        return known.name;
    }
    // A message box holds its text in a static control of id 0xFFFF.
    if (GetDlgItem(dialog, 0xFFFF) != nullptr) return "MESSAGEBOX";
    return TextOf(dialog);
}

// The dialog's inside as it is on the screen, as the 24-bit BMP file FOLDER\NN-NAME.bmp:
// without its frame and caption, which on a display without a window manager nobody draws
// (the caption is the first line of the record).
void SavePicture(HWND dialog, int number, const std::string& name) {
    RECT rect;
    if (!GetClientRect(dialog, &rect)) return;
    POINT corner = {0, 0};
    ClientToScreen(dialog, &corner);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return;
    // Painted in full first, controls included; then taken from the screen as it shows.
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, corner.x, corner.y, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD rowBytes = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    std::vector<unsigned char> pixels(static_cast<size_t>(rowBytes) * static_cast<size_t>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "\\%02d-", number);
    std::string path = gPerson.choices.screenshotFolder + prefix + name + ".bmp";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
    std::fwrite(&header, sizeof header, 1, file);
    std::fwrite(&info, sizeof info, 1, file);
    std::fwrite(pixels.data(), 1, pixels.size(), file);
    std::fclose(file);
    Say("[picture of " + name + " saved as " + path + "]\n");
}

// Escape: the dialog's Cancel.
void Cancel(HWND dialog) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

void LookAt(HWND dialog) {
    if (!IsWindow(dialog) || !IsWindowVisible(dialog)) return;
    if (gPerson.answered.count(dialog) != 0) return;
    gPerson.answered.insert(dialog);
    const std::string name = TemplateOf(dialog);
    RecordWindow(dialog, name);
    if (name == "MESSAGEBOX") Say("[" + TextOf(dialog) + "] " + TextOf(GetDlgItem(dialog, 0xFFFF)) + "\n");

    if (auto answer = gPerson.answers->Take(name)) {
        if (!answer->quiet)
            Say("[dialog " + name + " \"" + TextOf(dialog) + "\" answered from the script]\n");
        std::string problem = ApplyAnswer(dialog, *answer);
        if (problem.empty() && IsWindow(dialog) && IsWindowVisible(dialog))
            problem = "the dialog is still open after its answer";
        if (!problem.empty()) {
            Say("ftpsh: " + problem + "; dialog cancelled\n");
            Cancel(dialog);
        }
        return;
    }
    if (gPerson.choices.interactive) {
        Say("[dialog " + name + " \"" + TextOf(dialog) + "\" waits on the screen]\n");
        return;
    }
    // A message box has been told above, and goes as a person dismisses it, as on POSIX.
    if (name != "MESSAGEBOX")
        Say("[dialog " + name + " \"" + TextOf(dialog) + "\" cancelled: no answer given]\n");
    Cancel(dialog);
}

BOOL CALLBACK LookAtThreadWindow(HWND window, LPARAM) {
    if (IsDialogWindow(window) && IsWindowVisible(window) && gPerson.answered.count(window) == 0)
        PostMessageA(gPerson.window, kLookAtDialog, reinterpret_cast<WPARAM>(window), 0);
    return TRUE;
}

LRESULT CALLBACK PersonWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kLookAtDialog) {
        LookAt(reinterpret_cast<HWND>(wParam));
        return 0;
    }
    if (message == WM_TIMER) {
        EnumThreadWindows(GetCurrentThreadId(), &LookAtThreadWindow, 0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Runs inside the activation: the dialog is looked at later, from its own modal loop.
LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        auto window = reinterpret_cast<HWND>(wParam);
        if (IsDialogWindow(window) && gPerson.seen.insert(window).second)
            PostMessageA(gPerson.window, kLookAtDialog, wParam, 0);
    }
    return CallNextHookEx(gPerson.hook, code, wParam, lParam);
}

}  // namespace

void RecordWindow(HWND window, const std::string& name) {
    if (gPerson.choices.screenshotFolder.empty()) return;
    const int number = ++gPerson.recorded;
    SavePicture(window, number, name);
    SaveControlRecord(gPerson.choices.screenshotFolder, number, name, window);
}

void StartAnsweringDialogs(AnswerBook& answers, DialogChoices choices) {
    gPerson.answers = &answers;
    gPerson.choices = std::move(choices);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &PersonWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kMessageWindowClass;
    RegisterClassA(&windowClass);
    gPerson.window = CreateWindowExA(0, kMessageWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                     nullptr, instance, nullptr);
    SetTimer(gPerson.window, 1, kLookAgainMilliseconds, nullptr);
    gPerson.hook = SetWindowsHookExA(WH_CBT, &CbtHook, nullptr, GetCurrentThreadId());
}

void StopAnsweringDialogs() {
    if (gPerson.hook != nullptr) UnhookWindowsHookEx(gPerson.hook);
    if (gPerson.window != nullptr) DestroyWindow(gPerson.window);
    gPerson.hook = nullptr;
    gPerson.window = nullptr;
}

}  // namespace ftpsh
