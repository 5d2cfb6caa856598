// The resource module QUENTL32, loaded by name as the module's start-up loads it: its
// string table holds every text of the module at its id, and unloading it takes its texts
// and dialogs away. The dialogs' templates are compared with the dialog records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/resources/resource_ids.h"

namespace {

class ResourceModule : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryA("QUENTL32.DLL");
        ASSERT_NE(module_, nullptr) << "libquentl32.so is not beside the test program";
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    HMODULE module_ = nullptr;
};

TEST_F(ResourceModule, StringTableHoldsEveryTextAtItsId) {
    // The name of HostType n is string n - 1.
    const std::vector<std::string> texts = {
        "OTHER", "DOS", "Macintosh", "MVS", "Brannock", "OS/2", "UNIX", "VM", "VMS",
        "MS-Windows NT Dos", "MS-Windows NT Unix", "MS-Windows 95", "Other", "<none>",
        "FTP Protocol - Error Setting Option",
        "The Remote Host Does Not Support Binary File Type.",
        "The Remote Host Does Not Support Ascii File Type.",
        "The Remote Host Does Not Support File Structure.",
        "The Remote Host Does Not Support Record Structure.",
        "The Remote Host Does Not Support Local Byte File Type.",
        "Not enough memory for a complete listing.",
        "Tarvo FTP could not automatically detect the Remote File System type. Please "
        "choose one from the pulldown menu.",
        "<none>"};
    for (UINT id = 0; id < texts.size(); ++id) {
        char text[256];
        int length = LoadStringA(module_, id, text, sizeof text);
        // An id without a text empties the buffer.
        const bool none = length == 0 && text[0] == '\0';
        EXPECT_EQ(none ? "<none>" : std::string(text, length), texts[id]) << "string " << id;
    }
    // A text is cut to the buffer, and the result says how much was copied.
    char small[8];
    EXPECT_EQ(LoadStringA(module_, IDS_HOST_UNIX, small, 4), 3);
    EXPECT_STREQ(small, "UNI");
}

TEST_F(ResourceModule, UnloadingTheModuleTakesItsTextsAndDialogsAway) {
    HMODULE module = module_;
    FreeLibrary(module_);
    module_ = nullptr;
    if (GetModuleHandleA("QUENTL32.DLL") != nullptr) GTEST_SKIP() << "still loaded elsewhere";
    char text[16];
    EXPECT_EQ(LoadStringA(module, IDS_HOST_DOS, text, sizeof(text)), 0);
    EXPECT_EQ(FindResourceA(module, "FTP_UN_DLG", RT_DIALOG), nullptr);
    // Loading it again brings them back.
    module_ = LoadLibraryA("QUENTL32.DLL");
    ASSERT_NE(module_, nullptr);
    EXPECT_EQ(LoadStringA(module_, IDS_HOST_DOS, text, sizeof(text)), 3);
    EXPECT_NE(FindResourceA(module_, "FTP_UN_DLG", RT_DIALOG), nullptr);
}

}  // namespace
