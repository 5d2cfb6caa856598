// The module as a loaded library: start-up (settings file, PeekInterval, resource module,
// log font, binary byte set, window classes), the attach count that runs it once, and the
// last detach that unregisters the classes and releases the code-set library exactly once;
// also the real shared library, whose constructor and destructor attach and detach it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>

#include "codeset/code_set_state.h"
#include "driver/library_entry.h"
#include "records/module_state.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/temp_folder.h"
#include "ui/protocol_window.h"

using tvtest::Loaded;
using tvtest::PrivateLibraries;

namespace {

bool Registered(HINSTANCE instance, const char* className, WNDCLASSA* out = nullptr) {
    WNDCLASSA info;
    return GetClassInfoA(instance, className, out != nullptr ? out : &info) != FALSE;
}

// A settings file of the test's own, found through TARVO_ORR_INI while the test runs.
class SettingsFile {
public:
    explicit SettingsFile(const std::string& contents) {
        tvtest::WriteFile(path_, contents);
        if (const char* previous = std::getenv("TARVO_ORR_INI")) previous_ = previous;
        setenv("TARVO_ORR_INI", path_.c_str(), 1);
    }
    ~SettingsFile() {
        if (previous_) setenv("TARVO_ORR_INI", previous_->c_str(), 1);
        if (!previous_) unsetenv("TARVO_ORR_INI");
    }
    const std::string& path() const { return path_; }

private:
    tvtest::TempFolder folder_;
    std::string path_ = folder_ / "ORR.INI";
    std::optional<std::string> previous_;
};

class ModuleLifecycle : public ::testing::Test {
protected:
    void TearDown() override {
        gModule.peekInterval = PEEK_INTERVAL_DEFAULT;
        gModule.yieldCounter = 0;
        gModule.codeSetLibraryName = CODE_SET_LIBRARY_NAME;
    }
    HINSTANCE instance_ = GetModuleHandleA(nullptr);
};

}  // namespace

TEST_F(ModuleLifecycle, StartUpReadsTheSettingsAndRegistersBothClasses) {
    {
        SettingsFile settings("[Other]\nPeekInterval=5\n");
        ASSERT_EQ(gModule.attachCount, 0);
        gModule.peekInterval = 99;
        ASSERT_TRUE(LibraryEntry(instance_, ENTRY_PROCESS_ATTACH));
        EXPECT_EQ(gModule.peekInterval, 8);
        EXPECT_EQ(std::string(gModule.settingsPath), settings.path());
        EXPECT_EQ(gModule.moduleInstance, instance_);
        // The resource module is opened at its first use, not inside the library entry.
        EXPECT_EQ(gModule.resourceInstance, nullptr);
        char text[32] = {};
        EXPECT_NE(ResourceInstance(), instance_);
        EXPECT_EQ(ResourceInstance(), gModule.resourceInstance);
        EXPECT_GT(LoadStringA(ResourceInstance(), 6, text, sizeof text), 0);
        EXPECT_STREQ(text, "UNIX");
        EXPECT_EQ(gModule.protocolFont, GetStockObject(ANSI_FIXED_FONT));
        EXPECT_EQ(gModule.binaryByteSet, BinaryByteSet::Second);
        // Nothing found under the library's plain name beside the test program.
        EXPECT_EQ(reinterpret_cast<UINT_PTR>(CodeSets().library), CODE_SET_LIBRARY_NOT_BOUND);

        // Style, class and window bytes, background brush, cursor and icon as a host sees
        // them; the protocol window keeps its widest line and connection after the dialog's
        // own bytes.
        WNDCLASSA protocol, fileType;
        ASSERT_TRUE(Registered(instance_, PROTOCOL_WINDOW_CLASS, &protocol));
        ASSERT_TRUE(Registered(instance_, FILE_TYPE_DIALOG_CLASS, &fileType));
        const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
        EXPECT_EQ(std::make_tuple(protocol.style, protocol.cbClsExtra, protocol.cbWndExtra,
                                  reinterpret_cast<INT_PTR>(protocol.hbrBackground),
                                  protocol.hCursor, protocol.hIcon, protocol.hInstance),
                  std::make_tuple(0x4003u, 30, DLGWINDOWEXTRA + 4 + int(sizeof(void*)),
                                  INT_PTR{6}, arrow, HICON{}, instance_));
        EXPECT_EQ(protocol.lpszMenuName, nullptr);
        EXPECT_EQ(std::make_tuple(fileType.style, fileType.cbClsExtra, fileType.lpfnWndProc,
                                  reinterpret_cast<INT_PTR>(fileType.hbrBackground)),
                  std::make_tuple(0x0003u, 0, &DefDlgProcA, INT_PTR{6}));

        EXPECT_TRUE(LibraryEntry(instance_, ENTRY_THREAD_ATTACH));
        EXPECT_TRUE(LibraryEntry(instance_, ENTRY_THREAD_DETACH));
        EXPECT_FALSE(LibraryEntry(instance_, 7));
        EXPECT_EQ(gModule.attachCount, 1);
        EXPECT_TRUE(LibraryEntry(instance_, ENTRY_PROCESS_DETACH));
        EXPECT_EQ(gModule.attachCount, 0);
        EXPECT_FALSE(Registered(instance_, PROTOCOL_WINDOW_CLASS));
        EXPECT_FALSE(Registered(instance_, FILE_TYPE_DIALOG_CLASS));
    }

    // The module's section in any case of its name.
    SettingsFile settings("[ftp_protocol]\npeekinterval=3\n");
    ASSERT_TRUE(ModuleAttach(instance_));
    EXPECT_EQ(gModule.peekInterval, 3);
    ModuleDetach(instance_);
}

TEST_F(ModuleLifecycle, OnlyTheFirstAttachStartsAndTheLastDetachEndsOnce) {
    // The test holds a reference of its own to the library, so that a second release by
    // the module would unload it before the test lets go.
    PrivateLibraries libraries("tarvo-lifecycle-" + std::to_string(getpid()));
    const std::string codeSets = libraries.CopyBuilt("libbkcs32.so");
    HMODULE own = LoadLibraryA(codeSets.c_str());
    ASSERT_NE(own, nullptr);
    gModule.codeSetLibraryName = codeSets.c_str();

    ASSERT_TRUE(ModuleAttach(instance_));
    // Bound at the first use of the code sets, not inside the library entry.
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    EXPECT_GT(reinterpret_cast<UINT_PTR>(CodeSets().library), CODE_SET_LIBRARY_NOT_BOUND);
    ASSERT_TRUE(UnregisterClassA(FILE_TYPE_DIALOG_CLASS, instance_));
    ASSERT_TRUE(ModuleAttach(instance_));
    EXPECT_FALSE(Registered(instance_, FILE_TYPE_DIALOG_CLASS));  // not registered again
    ASSERT_TRUE(ModuleDetach(instance_));
    EXPECT_TRUE(Registered(instance_, PROTOCOL_WINDOW_CLASS));
    EXPECT_GT(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);

    // The host ends the code-set library with WEP; the last detach then finds nothing left
    // to release.
    EXPECT_EQ(WEP(0), 1);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    ASSERT_TRUE(ModuleDetach(instance_));
    EXPECT_FALSE(Registered(instance_, PROTOCOL_WINDOW_CLASS));
    EXPECT_TRUE(Loaded(codeSets));
    FreeLibrary(own);
    EXPECT_FALSE(Loaded(codeSets));
}

TEST_F(ModuleLifecycle, SharedLibraryAttachesWhenLoadedAndDetachesWhenFreed) {
    // The shipped library with its resource module and code-set library beside it.
    PrivateLibraries libraries("tarvo-lifecycle-" + std::to_string(getpid()));
    const std::string path = libraries.CopyBuilt("libtarvoftp.so");
    const std::string resources = libraries.CopyBuilt("libquentl32.so");
    const std::string codeSets = libraries.CopyBuilt("libbkcs32.so");
    ASSERT_FALSE(Registered(nullptr, PROTOCOL_WINDOW_CLASS));
    HMODULE module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr);
    // Neither is loaded from inside the library entry; they wait for their first use.
    EXPECT_FALSE(Loaded(codeSets));
    EXPECT_FALSE(Loaded(resources));
    {
        // The first open binds the code-set library, found beside the module by its Windows
        // name, before it connects (to where nothing listens).
        auto open = reinterpret_cast<decltype(&xfsopen)>(
            reinterpret_cast<void*>(GetProcAddress(module, "xfsopen")));
        tvtest::HostRecord record("127.0.0.1");
        OpenParameters parameters = tvtest::Parameters(1);
        EXPECT_LT(open(record.handle(), 0, nullptr, nullptr, nullptr, &parameters), 0);
        EXPECT_TRUE(Loaded(codeSets));
    }
    WNDCLASSA protocol;
    ASSERT_TRUE(Registered(module, PROTOCOL_WINDOW_CLASS, &protocol));
    EXPECT_EQ(protocol.hInstance, module);
    EXPECT_EQ(reinterpret_cast<void*>(protocol.lpfnWndProc),
              reinterpret_cast<void*>(GetProcAddress(module, "FTP_ProtocolWP")));
    EXPECT_TRUE(Registered(module, FILE_TYPE_DIALOG_CLASS));
    ASSERT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(Loaded(path));
    EXPECT_FALSE(Loaded(codeSets));
    EXPECT_FALSE(Registered(module, PROTOCOL_WINDOW_CLASS));
    EXPECT_FALSE(Registered(module, FILE_TYPE_DIALOG_CLASS));
}
