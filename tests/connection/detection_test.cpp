// The remote system of a new connection through xfsopen against the scripted server: the
// user's rules, SYST and the greeting in their order and with their tie-breaks, the
// question when nothing tells, the passive-mode setting, the STAT capability from the
// greeting, SITE DIRSTYLE for Windows NT servers and the VMS quirks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "tests/connection/open_fixture.h"
#include "tests/support/dialog_script.h"
#include "tests/support/temp_folder.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

namespace {

Exchange Syst(const std::string& reply) { return {{"SYST", reply}}; }
const Exchange kProbeRefused = {{"CWD [.KWAXYBOGUSDIR]", "550 Directory not found."}};
Exchange operator+(Exchange a, const Exchange& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Opens a record of this host type with these settings (in a file of the test's own) on a
// server that greets so and plays the exchange; a cancelled open sends no options.
OpenOutcome Open(const std::string& greeting, const Exchange& exchange,
                 uint8_t hostType = HOST_AUTOMATIC, const std::string& settings = "",
                 bool cancelled = false) {
    TempFolder folder;
    WriteFile(folder / "ORR.INI", settings);
    setenv("TARVO_ORR_INI", (folder / "ORR.INI").c_str(), 1);
    ScriptedServer server;
    ExpectExchange(ExpectAnonymousLogon(server, greeting), exchange);
    if (!cancelled) ExpectDefaultOptions(server);
    OpenOutcome opened = OpenOn(server, Parameters(0), hostType);
    unsetenv("TARVO_ORR_INI");
    return opened;
}

using Detection = ModuleTest;

}  // namespace

TEST_F(Detection, SystReplyDecidesByTheFirstPatternInTableOrder) {
    const std::pair<const char*, int> cases[] = {
        {"215 UNIX Type: L8", HOST_UNIX},
        {"215 unix emulation on VMS", HOST_UNIX},  // the search ignores case
        {"215 VM/CMS gateway to VMS", HOST_VMS},
        {"215 VM/CMS Level 3", HOST_VM},
        {"215 VM/VPS", HOST_OTHER},
        {"215 OS/MVS", HOST_MVS},
        {"215 MAC-OS 7", HOST_MACINTOSH},
        {"215 Windows 3.1", HOST_DOS},
        {"215 OS/2 operating system", HOST_OS2},
        {"215 Windows_NT version 3.51", HOST_WINDOWS_NT_DOS},  // needs no SITE DIRSTYLE
        {"215 Windows_95", HOST_WINDOWS_95},
        {"215-DOS\r\n215 over two lines", HOST_DOS},
    };
    for (const auto& [reply, type] : cases) {
        SCOPED_TRACE(reply);
        // The greeting names another system: SYST is asked first and decides.
        OpenOutcome opened = Open("220 Windows NT FTP server ready.\r\n",
                                  Syst(reply) + (type == HOST_VMS ? kProbeRefused : Exchange{}));
        EXPECT_EQ(opened.result, 0);
        EXPECT_EQ(opened.hostType, type);
    }
}

TEST_F(Detection, GreetingDecidesWhenSystDoesNotAndNamesTheStatReportingServers) {
    struct Case {
        const char* greeting;
        const char* syst;
        int type;
        bool statReports;
    };
    const Case cases[] = {
        {"220 sun FTP server (SunOS 4.1) ready.\r\n", "500 command unrecognized", HOST_UNIX, false},
        {"220 host FTP server (Brannock v4.1) ready.\r\n", "215 NETWARE", HOST_BRANNOCK, true},
        {"220 host (Quorin Version 4.5) ready.\r\n", "502 no", HOST_OS2, true},
        // The tie-break by order: UNIX comes before MultiNet.
        {"220-MultiNet gateway\r\n220 to a UNIX host\r\n", "500 no", HOST_UNIX, false},
        // The STAT check wants the exact name, case included, followed by a blank.
        {"220 x (Brannock) Orrery v4.2\r\n", "500 no", HOST_DOS, false},
        {"220 x (brannock v4.1)\r\n", "500 no", HOST_BRANNOCK, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.greeting);
        OpenOutcome opened = Open(c.greeting, Syst(c.syst));
        EXPECT_EQ(opened.result, 0);
        EXPECT_EQ(opened.hostType, c.type);
        EXPECT_EQ((opened.connection.stateFlags & STATE_STAT_REPORTS_REPRESENTATION) != 0,
                  c.statReports);
    }
    // The greeting check runs for every open, detection only for a record that asks.
    OpenOutcome given = Open("220 (Brannock v4.1)\r\n", {}, HOST_UNIX);
    EXPECT_EQ(given.hostType, HOST_UNIX);
    EXPECT_TRUE(given.connection.stateFlags & STATE_STAT_REPORTS_REPRESENTATION);
}

TEST_F(Detection, UserRulesComeFirstAndAnUnknownNameEndsThem) {
    const std::pair<std::string, int> cases[] = {
        {"OSTYPE-1=UNIX;acme ftpd\n", HOST_UNIX},
        {"OSTYPE-1=Unix;acme ftpd\n", HOST_UNIX},
        // A rule whose piece is not in the greeting is passed over; so is a rule without
        // ';', whose piece is empty and found nowhere.
        {"OSTYPE-1=VMS;nothing\nOSTYPE-2=VMS\nOSTYPE-8=mvs;FTPD 2\n", HOST_MVS},
        // No result (SYST decides): an unknown name, which ends the rules, or no rule key.
        {"OSTYPE-1=Beos;acme ftpd\nOSTYPE-2=VMS;acme\n", 0},
        {"OSTYPE-9=VMS;acme\n", 0},
        // A rule may name a system that is refined further.
        {"OSTYPE-3=ms-windows nt unix;acme\n", HOST_WINDOWS_NT_UNIX},
    };
    for (const auto& [rules, type] : cases) {
        SCOPED_TRACE(rules);
        Exchange exchange = type == 0 ? Syst("215 UNIX Type: L8") : Exchange{};
        if (type == HOST_WINDOWS_NT_UNIX) exchange = {{"SITE DIRSTYLE", "200 output is off"}};
        OpenOutcome opened = Open("220 ACME FTPD 2.0 ready.\r\n", exchange, HOST_AUTOMATIC,
                                  "[ftp_protocol]\n" + rules);
        EXPECT_EQ(opened.hostType, type == 0 ? HOST_UNIX : type);
    }
}

TEST_F(Detection, PassiveModeSettingCountsOnlyWhenTheSystemIsDetected) {
    const std::string on = "[FTP_Protocol]\nSupportPasv=1\n";
    auto passive = [](const OpenOutcome& opened) {
        return (opened.connection.stateFlags & STATE_PASSIVE_MODE) != 0;
    };
    EXPECT_TRUE(passive(Open(kScriptedGreeting, Syst("215 UNIX"), HOST_AUTOMATIC, on)));
    EXPECT_FALSE(passive(Open(kScriptedGreeting, {}, HOST_UNIX, on)));
    EXPECT_FALSE(passive(Open(kScriptedGreeting, Syst("215 UNIX"), HOST_AUTOMATIC, "")));
}

TEST_F(Detection, QuestionSettlesWhatNothingElseTells) {
    const Exchange refused = Syst("500 SYST not understood");
    DialogScript script;
    // The question as it comes up: its text, the twelve names, UNIX chosen.
    script.Expect("AUTODETECT_DLG")
        .Inspect([](HWND dialog) {
            auto controls = ReadControls(dialog);
            const ControlView* text = FindControl(controls, IDC_AUTODETECT_TEXT);
            const ControlView* list = FindControl(controls, IDC_AUTODETECT_LIST);
            ASSERT_TRUE(text != nullptr && list != nullptr);
            EXPECT_EQ(text->text.rfind("Tarvo FTP could not automatically detect", 0), 0u);
            EXPECT_EQ(list->items, (std::vector<std::string>{
                                       "DOS", "Macintosh", "MVS", "Brannock", "OS/2", "UNIX",
                                       "VM", "VMS", "MS-Windows NT Dos", "MS-Windows NT Unix",
                                       "MS-Windows 95", "Other"}));
            EXPECT_EQ(list->selected, (std::vector<int>{5}));
        })
        .Command(IDHELP)  // not handled: the question stays
        .Click(IDOK);
    script.Expect("AUTODETECT_DLG").Choose(IDC_AUTODETECT_LIST, "Other").Click(IDOK);
    script.Expect("AUTODETECT_DLG")
        .Inspect([](HWND dialog) {
            SendDlgItemMessageA(dialog, IDC_AUTODETECT_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1),
                                0);
        })
        .Click(IDOK);
    script.Expect("AUTODETECT_DLG").Click(IDCANCEL);

    OpenOutcome first = Open(kScriptedGreeting, refused);
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(first.hostType, HOST_UNIX);
    EXPECT_EQ(Open(kScriptedGreeting, refused).hostType, HOST_OTHER);
    // OK without a choice: no system at all, and the open goes on.
    OpenOutcome none = Open(kScriptedGreeting, refused);
    EXPECT_EQ(none.result, 0);
    EXPECT_EQ(none.hostType, 0);
    // Cancel ends the open and closes the connection.
    OpenOutcome cancelled = Open(kScriptedGreeting, refused, HOST_AUTOMATIC, "", true);
    EXPECT_EQ(cancelled.result, FSE_CANCELLED);
    EXPECT_FALSE(cancelled.connected);
    EXPECT_EQ(script.problems(), std::vector<std::string>{});
}

TEST_F(Detection, SiteDirstyleSettlesHowWindowsNtServersList) {
    const std::string off = "200 MSDOS-like directory output is off";
    const std::pair<Exchange, int> cases[] = {
        {{{"SITE DIRSTYLE", "500 'SITE DIRSTYLE': command not implemented."}}, HOST_WINDOWS_NT_DOS},
        {{{"SITE DIRSTYLE", off}}, HOST_WINDOWS_NT_UNIX},
        // Turned on: once more turns it off again.
        {{{"SITE DIRSTYLE", "200 MSDOS-like directory output is on"}, {"SITE DIRSTYLE", off}},
         HOST_WINDOWS_NT_UNIX},
    };
    for (const auto& [exchange, type] : cases) {
        SCOPED_TRACE(exchange[0].second);
        OpenOutcome opened = Open(kScriptedGreeting, exchange, HOST_WINDOWS_NT_UNIX);
        EXPECT_EQ(opened.hostType, type);
    }
}

TEST_F(Detection, VmsQuirksComeFromTheGreetingOrFromTheProbe) {
    const std::tuple<const char*, Exchange, uint32_t> cases[] = {
        {"220 node MultiNet FTP Server ready\r\n", {}, QUIRK_BRACKETED_RMD},
        {"220-Welcome to\r\n220 MULTINET\r\n", {}, QUIRK_BRACKETED_RMD},
        {"220 node FTP (ucx V5.1) ready\r\n", {}, QUIRK_LIST_BEFORE_CWD},
        // Only whole words count; then the probe decides.
        {"220 node xMultiNet (UCXv5)\r\n", kProbeRefused, QUIRK_BRACKETED_RMD},
        // A server that lets the connection into a directory that cannot exist.
        {"220 node ready\r\n", {{"CWD [.KWAXYBOGUSDIR]", "250 CWD command successful."}},
         QUIRK_LIST_BEFORE_CWD},
    };
    for (const auto& [greeting, exchange, quirk] : cases) {
        SCOPED_TRACE(greeting);
        OpenOutcome opened = Open(greeting, exchange, HOST_VMS);
        EXPECT_EQ(opened.result, 0);
        EXPECT_EQ(opened.connection.hostQuirks, quirk);
    }
    // Detected from the greeting after a refused SYST.
    OpenOutcome detected = Open("220 node MultiNet FTP Server\r\n", Syst("500 no"));
    EXPECT_EQ(detected.hostType, HOST_VMS);
    EXPECT_EQ(detected.connection.hostQuirks, QUIRK_BRACKETED_RMD);
}
