// The file type of a download decided from its first block (the text/binary sample, the
// line ends and records of VMS servers, when the user is asked and what the answer
// returns), and the question FTP_FILETYPE_DLG as a person sees and answers it.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "driver/open.h"
#include "tests/support/dialog_script.h"
#include "tests/support/host_fixture.h"
#include "transfer/converters.h"
#include "transfer/file_type.h"
#include "ui/file_type_dialog.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

namespace {

// What the question hook was asked, and what it answers.
int gAsked = 0;
std::string gAskedName;
int32_t gAnswer = 1;
int32_t RecordQuestion(FtpConnection*, const char* fileName, FsStateRecord*) {
    ++gAsked;
    gAskedName = fileName;
    return gAnswer;
}
const ConnectionHooks kAskingHooks = {nullptr, nullptr, nullptr, nullptr, RecordQuestion};

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) bytes += static_cast<char>(value);
    return bytes;
}

struct Decision {
    std::string block;
    uint8_t hostType;
    bool listBeforeCwd;
    int32_t textFormat;
    bool asks;
};

}  // namespace

TEST(FileTypeDecision, SampleLineEndsAndRecordsChooseTheFormatOrAsk) {
    const std::string hello = Bytes({5, 0, 'h', 'e', 'l', 'l', 'o', 0});
    const Decision decisions[] = {
        // Elsewhere the sample decides; text without CR or LF is asked about.
        {"line one\r\nline two\r\n", HOST_UNIX, false, TEXT_FORMAT_TEXT, false},
        {"lf only\n", HOST_UNIX, false, TEXT_FORMAT_TEXT, false},
        {"a lone carriage return\r", HOST_UNIX, false, TEXT_FORMAT_TEXT, false},
        {"one line without an end", HOST_UNIX, false, TEXT_FORMAT_TEXT, true},
        {"page\fbreak", HOST_UNIX, false, TEXT_FORMAT_TEXT, true},
        {Bytes({'P', 'K', 3, 4}), HOST_UNIX, false, TEXT_FORMAT_BINARY, false},
        {"text then Ctrl-Z\x1a", HOST_DOS, false, TEXT_FORMAT_BINARY, false},
        // A VMS server that needs no listing before CWD is taken as any other.
        {"no end", HOST_VMS, false, TEXT_FORMAT_TEXT, true},
        {"a\nb\r\n", HOST_VMS, false, TEXT_FORMAT_TEXT, false},
        {hello, HOST_VMS, false, TEXT_FORMAT_BINARY, false},
        // VMS text: bare LF against CR LF, lone CR and form feed.
        {"a\nb\n", HOST_VMS, true, TEXT_FORMAT_LF_ONLY, false},
        {"\nstarts with LF", HOST_VMS, true, TEXT_FORMAT_LF_ONLY, false},
        {"a\nb\r", HOST_VMS, true, TEXT_FORMAT_LF_ONLY, false},
        {"a\r\nb\r\n", HOST_VMS, true, TEXT_FORMAT_CR_CRLF_FF, false},
        {"a\rb", HOST_VMS, true, TEXT_FORMAT_CR_CRLF_FF, false},
        {"a\fb", HOST_VMS, true, TEXT_FORMAT_CR_CRLF_FF, false},
        {"a\r\fb", HOST_VMS, true, TEXT_FORMAT_CR_CRLF_FF, false},
        {"a\r\r\nb", HOST_VMS, true, TEXT_FORMAT_CR_CRLF_FF, false},
        {"a\nb\r\n", HOST_VMS, true, TEXT_FORMAT_TEXT, true},
        {"a\nb\fc", HOST_VMS, true, TEXT_FORMAT_TEXT, true},
        {"no end", HOST_VMS, true, TEXT_FORMAT_TEXT, true},
        {"a\r\r", HOST_VMS, true, TEXT_FORMAT_TEXT, true},
        {"", HOST_VMS, true, TEXT_FORMAT_TEXT, true},
        // VMS binary data read as records: the last whole record's sample counts.
        {hello, HOST_VMS, true, TEXT_FORMAT_TEXT_RECORDS, false},
        {hello + Bytes({3, 0, 1, 2, 3, 0}), HOST_VMS, true, TEXT_FORMAT_BINARY_RECORDS, false},
        {Bytes({3, 0, 1, 2, 3, 0, 2, 0, 'h', 'i'}), HOST_VMS, true, TEXT_FORMAT_TEXT_RECORDS,
         false},
        {Bytes({0, 0, 0, 0}), HOST_VMS, true, TEXT_FORMAT_TEXT_RECORDS, false},
        {Bytes({1, 0, 0x90, 0}), HOST_VMS, true, TEXT_FORMAT_BINARY_RECORDS, false},
        {Bytes({0x58, 2, 'x'}), HOST_VMS, true, TEXT_FORMAT_NOT_RECORDS, false},
        {Bytes({1, 2}), HOST_VMS, true, TEXT_FORMAT_NOT_RECORDS, false},
        {hello + Bytes({0x58, 2}), HOST_VMS, true, TEXT_FORMAT_NOT_RECORDS, false},
        {Bytes({0, 2}) + std::string(512, 'v'), HOST_VMS, true, TEXT_FORMAT_TEXT_RECORDS, false},
        // A record that does not end in the block stops the scan with the verdict so far.
        {Bytes({5, 0, 'h', 'e'}), HOST_VMS, true, TEXT_FORMAT_TEXT, false},
        {hello + Bytes({9, 0, 1}), HOST_VMS, true, TEXT_FORMAT_TEXT_RECORDS, false},
        {Bytes({0}), HOST_VMS, true, TEXT_FORMAT_TEXT, false},
    };
    for (const Decision& decision : decisions) {
        SCOPED_TRACE(::testing::PrintToString(decision.block) + " on host type " +
                     std::to_string(decision.hostType));
        FtpConnection connection{};
        connection.hooks = &kAskingHooks;
        connection.hostQuirks = decision.listBeforeCwd ? uint32_t(QUIRK_LIST_BEFORE_CWD) : 0u;
        connection.textFormat = TEXT_FORMAT_BINARY_RECORDS;
        FsStateRecord record{};
        record.connection = &connection;
        record.hostType = decision.hostType;
        gAsked = 0;
        gAnswer = 1;
        const auto length = static_cast<int32_t>(decision.block.size());
        EXPECT_EQ(DecideFileType(decision.block.data(), length, &record, "f.txt"), length);
        EXPECT_EQ(connection.textFormat, decision.textFormat);
        EXPECT_EQ(gAsked, decision.asks ? 1 : 0);
    }
}

TEST(FileTypeDecision, AnswersOtherThanTransferAreTheResult) {
    FtpConnection connection{};
    FsStateRecord record{};
    record.connection = &connection;
    record.hostType = HOST_UNIX;
    // Without a question to ask, the copy is cancelled.
    EXPECT_EQ(DecideFileType("abc", 3, &record, "f"), FSE_STOPPED);
    connection.hooks = &kAskingHooks;
    for (int32_t answer : {int32_t(FSE_SKIP_FILE), int32_t(FSE_STOPPED), -1}) {
        gAnswer = answer;
        EXPECT_EQ(DecideFileType("abc", 3, &record, "DISK$USER:[A]B.TXT;1"), answer);
    }
    EXPECT_EQ(gAskedName, "DISK$USER:[A]B.TXT;1");
    gAnswer = 1;
}

namespace {

// What the owner window heard.
std::vector<std::tuple<UINT, WPARAM, LPARAM>> gOwnerHeard;
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) gOwnerHeard.emplace_back(message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

constexpr int kChoiceButtons[] = {IDC_FILETYPE_ASCII, IDC_FILETYPE_BINARY, IDC_FILETYPE_CR,
                                  IDC_FILETYPE_LF,    IDC_FILETYPE_CRLF,   IDC_FILETYPE_CR_CRLF_FF,
                                  IDC_FILETYPE_SAME_TYPE};

// The ids of the checked and of the disabled buttons, e.g. "400 606 | 608".
std::string ButtonStates(HWND dialog) {
    std::string checked, disabled;
    for (int id : kChoiceButtons) {
        const std::string name = std::to_string(id) + " ";
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) checked += name;
        if (!IsWindowEnabled(GetDlgItem(dialog, id))) disabled += name;
    }
    return checked + "| " + disabled;
}

class FileTypeQuestionDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_.attached());
        WNDCLASSA ownerClass{};
        ownerClass.lpfnWndProc = OwnerProc;
        ownerClass.lpszClassName = "TvTestFileTypeOwner";
        RegisterClassA(&ownerClass);
        owner_ = CreateWindowExA(0, "TvTestFileTypeOwner", "", 0, 0, 0, 600, 400, nullptr,
                                 nullptr, nullptr, nullptr);
        connection_.ownerWindow = owner_;
        record_.connection = &connection_;
        gOwnerHeard.clear();
    }
    void TearDown() override { DestroyWindow(owner_); }
    // The connection as the question finds it.
    void Prepare(uint8_t hostType, int32_t textFormat, int32_t lineEnd, int32_t sameType) {
        record_.hostType = hostType;
        connection_.textFormat = textFormat;
        connection_.lineEndConvention = lineEnd;
        connection_.sameTypeForRemaining = sameType;
    }
    int32_t Ask(const char* name = "notes.txt") {
        return AskFileTypeDialog(&connection_, name, &record_);
    }
    // Runs the steps in the question and returns its result.
    int32_t Answer(const std::function<void(DialogScript&)>& steps) {
        DialogScript person;
        steps(person.Expect(FILE_TYPE_TEMPLATE));
        const int32_t result = Ask();
        EXPECT_TRUE(person.finished());
        EXPECT_TRUE(person.problems().empty()) << person.problems()[0];
        return result;
    }
    AttachedModule module_;
    HWND owner_ = nullptr;
    FtpConnection connection_{};
    FsStateRecord record_{};
};

// Whether the buttons are as `expected` at this point of the script.
std::function<void(HWND)> States(const std::string& expected) {
    return [expected](HWND dialog) { EXPECT_EQ(ButtonStates(dialog), expected); };
}

}  // namespace

TEST_F(FileTypeQuestionDialog, OpensWithTheSystemTheNameAndTheConnectionsChoice) {
    const struct {
        uint8_t hostType;
        int32_t textFormat, lineEnd, sameType;
        const char* system;
        const char* states;
    } openings[] = {
        {HOST_UNIX, TEXT_FORMAT_TEXT, LINE_END_UNIX, 0, "UNIX", "400 606 | 608 "},
        {HOST_UNIX, TEXT_FORMAT_TEXT, LINE_END_CR, 1, "UNIX", "400 605 601 | 608 "},
        {HOST_WINDOWS_NT_DOS, TEXT_FORMAT_TEXT, 0, 0, "MS-Windows NT Dos", "400 608 | 608 "},
        {HOST_VMS, TEXT_FORMAT_TEXT, LINE_END_CRLF, 1, "VMS", "400 607 601 | 607 "},
        {HOST_VMS, TEXT_FORMAT_TEXT, LINE_END_CR_CRLF_FF, 0, "VMS", "400 608 | 607 "},
        {HOST_VMS, TEXT_FORMAT_BINARY, LINE_END_UNIX, 0, "VMS", "401 | 605 606 607 608 "},
        {HOST_UNIX, TEXT_FORMAT_LF_ONLY, LINE_END_UNIX, 1, "UNIX", "401 601 | 605 606 607 608 "},
        {0, TEXT_FORMAT_TEXT, LINE_END_CRLF, 0, "OTHER", "400 607 | 608 "},
    };
    for (const auto& opening : openings) {
        SCOPED_TRACE(opening.states);
        Prepare(opening.hostType, opening.textFormat, opening.lineEnd, opening.sameType);
        DialogScript person;
        person.Expect(FILE_TYPE_TEMPLATE)
            .Check(IDC_HOST_TYPE_NAME, opening.system)
            .Check(IDC_FILETYPE_NAME, "a&b [1].txt")
            .Inspect(States(opening.states))
            .Inspect([&](HWND dialog) {
                char text[64];
                GetClassNameA(dialog, text, sizeof text);
                EXPECT_STREQ(text, "FTP_FileTypeDialog");
                GetWindowTextA(dialog, text, sizeof text);
                EXPECT_STREQ(text, "Unable to Determine File Type");
                EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner_);
                EXPECT_EQ(GetWindowLongPtrA(dialog, FILE_TYPE_DIALOG_RECORD),
                          reinterpret_cast<LONG_PTR>(&record_));
            })
            .Click(IDCANCEL);
        EXPECT_EQ(AskFileTypeDialog(&connection_, "a&b [1].txt", &record_), FSE_STOPPED);
        EXPECT_TRUE(person.problems().empty()) << person.problems()[0];
        // Cancel leaves the connection's choice as it was.
        EXPECT_EQ(connection_.textFormat, opening.textFormat);
        EXPECT_EQ(connection_.lineEndConvention, opening.lineEnd);
    }
}

TEST_F(FileTypeQuestionDialog, ButtonsFollowTheChoiceAndTransferStoresIt) {
    // Elsewhere ASCII offers LF or CR LF, and the text stays network text. A question that
    // opened on binary has no line end checked until the user chooses one.
    Prepare(HOST_UNIX, TEXT_FORMAT_BINARY, LINE_END_UNIX, 0);
    EXPECT_EQ(Answer([](DialogScript& s) {
                  s.Click(IDC_FILETYPE_ASCII).Inspect(States("400 | 605 608 "))
                      .Click(IDC_FILETYPE_CRLF).Click(IDC_FILETYPE_SAME_TYPE)
                      .Click(IDC_FILETYPE_SAME_TYPE).Click(IDC_FILETYPE_SAME_TYPE)
                      .Inspect(States("400 607 601 | 605 608 "))
                      .Click(IDC_FILETYPE_TRANSFER);
              }),
              1);
    EXPECT_EQ(std::tuple(connection_.textFormat, connection_.lineEndConvention,
                         connection_.sameTypeForRemaining),
              std::tuple(TEXT_FORMAT_TEXT, LINE_END_CRLF, 1));

    // A VMS server's text is taken by its line ends.
    const struct {
        int lineEndButton;
        int32_t textFormat, lineEnd;
    } vmsChoices[] = {
        {IDC_FILETYPE_LF, TEXT_FORMAT_LF_ONLY, LINE_END_UNIX},
        {IDC_FILETYPE_CR, TEXT_FORMAT_CR_CRLF_FF, LINE_END_CR},
        {IDC_FILETYPE_CR_CRLF_FF, TEXT_FORMAT_CR_CRLF_FF, LINE_END_CR_CRLF_FF},
        {0, TEXT_FORMAT_CR_CRLF_FF, LINE_END_CR_CRLF_FF},  // no line end chosen
    };
    for (const auto& choice : vmsChoices) {
        Prepare(HOST_VMS, TEXT_FORMAT_BINARY, LINE_END_CRLF, 1);
        EXPECT_EQ(Answer([&](DialogScript& s) {
                      s.Click(IDC_FILETYPE_ASCII).Inspect(States("400 601 | 607 "))
                          .Click(IDC_FILETYPE_SAME_TYPE);
                      if (choice.lineEndButton != 0) s.Click(choice.lineEndButton);
                      s.Click(IDC_FILETYPE_TRANSFER);
                  }),
                  1);
        EXPECT_EQ(std::tuple(connection_.textFormat, connection_.lineEndConvention,
                             connection_.sameTypeForRemaining),
                  std::tuple(choice.textFormat, choice.lineEnd, 0));
    }

    // Binary takes the line ends away and leaves the convention as it was.
    Prepare(HOST_VMS, TEXT_FORMAT_TEXT, LINE_END_UNIX, 0);
    EXPECT_EQ(Answer([](DialogScript& s) {
                  s.Click(IDC_FILETYPE_BINARY).Inspect(States("401 606 | 605 606 607 608 "))
                      .Click(IDC_FILETYPE_TRANSFER);
              }),
              1);
    EXPECT_EQ(std::tuple(connection_.textFormat, connection_.lineEndConvention),
              std::tuple(TEXT_FORMAT_BINARY, LINE_END_UNIX));
}

TEST_F(FileTypeQuestionDialog, SkipCancelAndHelp) {
    Prepare(HOST_UNIX, TEXT_FORMAT_TEXT, LINE_END_UNIX, 0);
    EXPECT_EQ(Answer([](DialogScript& s) { s.Click(IDC_FILETYPE_SKIP); }), FSE_SKIP_FILE);
    // Help asks the owner and leaves the question open.
    EXPECT_EQ(Answer([](DialogScript& s) {
                  s.Click(IDC_FILETYPE_BINARY).Click(IDC_FILETYPE_HELP).Click(IDCANCEL);
              }),
              FSE_STOPPED);
    EXPECT_EQ(connection_.textFormat, TEXT_FORMAT_TEXT);
    ASSERT_EQ(gOwnerHeard.size(), 1u);
    EXPECT_EQ(gOwnerHeard[0], std::make_tuple(UINT(WM_USER + 1), WPARAM(0), LPARAM(53274)));
    EXPECT_EQ(RunModuleDialog("NO_SUCH_DLG", nullptr, FileTypeProc, 0), -1);
}

TEST_F(FileTypeQuestionDialog, ADownloadWithoutLineEndsAsksThroughTheModulesHooks) {
    connection_.hooks = &kModuleHooks;
    Prepare(HOST_UNIX, TEXT_FORMAT_BINARY, LINE_END_UNIX, 0);
    DialogScript person;
    person.Expect(FILE_TYPE_TEMPLATE)
        .Check(IDC_FILETYPE_NAME, "/pub/README")
        .Inspect(States("400 606 | 608 "))
        .Click(IDC_FILETYPE_BINARY)
        .Click(IDC_FILETYPE_TRANSFER);
    EXPECT_EQ(DecideFileType("no line end", 11, &record_, "/pub/README"), 11);
    EXPECT_TRUE(person.finished());
    EXPECT_TRUE(person.problems().empty()) << person.problems()[0];
    EXPECT_EQ(connection_.textFormat, TEXT_FORMAT_BINARY);
}
