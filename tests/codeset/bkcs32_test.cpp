// The code-set library as its callers see it: loaded at run time, its functions found by
// name, contexts driven the way the module drives them (destination of length x factor + 1
// bytes, blocks of one stream converted one after the other).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codeset/bkcs32/ccss.h"
#include "codeset/ccss_interface.h"

namespace {

using namespace std::string_literals;

#define CCSS_FUNCTIONS(X)                                                                      \
    X(GetNumberOfCodeSets)                                                                     \
    X(GetDOSCodeSet) X(GetWindowsCodeSet) X(GetCodeSetTable) X(GetNameOfCodeSet)               \
    X(CreateContext) X(DestroyContext) X(ChangeCodeSet) X(HowManyTimesInWorstCase)             \
    X(ConvertBlock) X(Convert) X(ConvertStr) X(CreateDOSFilename) X(IsTruncatable) X(IsBinary)

struct Library {
    void* handle = dlopen(TVFTP_BKCS32_PATH, RTLD_NOW | RTLD_LOCAL);
    // The declarations give each function its type; only the library defines them.
#define CCSS_BIND(name) \
    decltype(&::CCSS##name) name = reinterpret_cast<decltype(name)>(dlsym(handle, "CCSS" #name));
    CCSS_FUNCTIONS(CCSS_BIND)
#undef CCSS_BIND
};

const Library& Lib() {
    static const Library library;
    return library;
}

class CodeSetLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(Lib().handle, nullptr) << dlerror(); }

    // A context converting source to target, freed at the end of the test.
    BkcsContext* Context(LONG source, LONG target) {
        BkcsContext* context = Lib().CreateContext(CCSS_CONVERSION_CONTEXT);
        contexts_.emplace_back(context, Lib().DestroyContext);
        EXPECT_EQ(Lib().ChangeCodeSet(context, source, target), 1);
        return context;
    }

    // One block through the context, into a destination sized exactly as the module sizes
    // it, so that a write past it is caught by the address sanitizer.
    static std::string Block(BkcsContext* context, const std::string& in) {
        std::vector<char> out(in.size() * Lib().HowManyTimesInWorstCase(context) + 1);
        EXPECT_EQ(Lib().ConvertBlock(context, in.data(), static_cast<LONG>(in.size()),
                                     out.data()),
                  CCSS_OK);
        return std::string(out.data(), static_cast<size_t>(context->outputLength));
    }

    std::vector<std::unique_ptr<BkcsContext, decltype(&::CCSSDestroyContext)>> contexts_;
};

TEST_F(CodeSetLibrary, ExportsItsFunctionsAndDescribesItsCodeSets) {
    void* without = dlopen(TVFTP_BKCS32_NO_ISBINARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(without, nullptr) << dlerror();
#define CCSS_EXPECT_EXPORTED(name)                                              \
    EXPECT_NE(dlsym(Lib().handle, "CCSS" #name), nullptr) << #name;             \
    EXPECT_EQ(dlsym(without, "CCSS" #name) != nullptr, #name != "IsBinary"s) << #name;
    CCSS_FUNCTIONS(CCSS_EXPECT_EXPORTED)
#undef CCSS_EXPECT_EXPORTED
    dlclose(without);

    EXPECT_EQ(Lib().GetNumberOfCodeSets(), 5);
    EXPECT_EQ(Lib().GetWindowsCodeSet(), CCSS_WINDOWS_1252);
    EXPECT_EQ(Lib().GetDOSCodeSet(), CCSS_IBM437);
    const char* const names[] = {"Windows-1252", "UTF-8", "ISO-8859-1", "IBM437", "ISO-8859-15"};
    for (LONG set = 1; set <= 5; ++set) {
        // Read through the module's own view of the record.
        const auto* seen = reinterpret_cast<const CodeSetTableRecord*>(Lib().GetCodeSetTable(set));
        ASSERT_NE(seen, nullptr);
        EXPECT_GE(seen->size, 28u);
        EXPECT_STREQ(seen->name, names[set - 1]);
        EXPECT_STREQ(Lib().GetNameOfCodeSet(set), names[set - 1]);
        EXPECT_EQ(seen->needsSystemFixedFont, set == CCSS_UTF8 ? 1u : 0u) << set;
    }
    for (LONG unknown : {0, 6, -1, 1000}) {
        EXPECT_EQ(Lib().GetCodeSetTable(unknown), nullptr);
        EXPECT_EQ(Lib().GetNameOfCodeSet(unknown), nullptr);
    }
}

TEST_F(CodeSetLibrary, WindowsTextToUtf8AndBack) {
    EXPECT_EQ(Lib().CreateContext(0), nullptr);
    EXPECT_EQ(Lib().CreateContext(2), nullptr);
    EXPECT_EQ(Lib().DestroyContext(nullptr), 0);
    // A new context copies Windows text as it is; its first field is what the module reads
    // through its own context type.
    BkcsContext* copy = Lib().CreateContext(CCSS_CONVERSION_CONTEXT);
    contexts_.emplace_back(copy, Lib().DestroyContext);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Block(copy, "a\0\x80\x81\xFF z"s), "a\0\x80\x81\xFF z"s);
    EXPECT_EQ(reinterpret_cast<CcssContext*>(copy)->outputLength, 7);

    BkcsContext* out = Context(CCSS_UNCHANGED, CCSS_UTF8);
    EXPECT_EQ(Block(out, "caf\xE9 \x80\x81 Stra\xDF" "e\0end\x9F\x99"s),
              "caf\xC3\xA9 \xE2\x82\xAC\xC2\x81 Stra\xC3\x9F" "e\0end\xC5\xB8\xE2\x84\xA2"s);
    // Every byte survives the way there and back, the undefined ones included.
    BkcsContext* back = Context(CCSS_UTF8, CCSS_WINDOWS_1252);
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Block(back, Block(out, all)), all);

    // A 4-byte character, U+0100 and the C1 control U+0080 have no Windows byte.
    EXPECT_EQ(Block(back, "caf\xC3\xA9 \xE2\x82\xAC\0Stra\xC3\x9F"
                          "e \xF0\x9F\x98\x80\xC4\x80\xC2\x80"s),
              "caf\xE9 \x80\0Stra\xDF" "e ???"s);
    // Malformed input: one '?' per broken sequence, then the breaking byte on its own;
    // overlong forms, surrogates and values past U+10FFFF are broken from their second byte.
    EXPECT_EQ(Block(back, "\x80" "a\xC3(\xE2\x82Z\xC0\xAF\xED\xA0\x80\xF4\x90\xF5\xFF"),
              "?a?(?Z?????????");
}

TEST_F(CodeSetLibrary, CharacterSplitAcrossBlocksConvertsOnce) {
    BkcsContext* in = Context(CCSS_UTF8, CCSS_WINDOWS_1252);
    const char* const steps[][2] = {
        {"ab\xE2\x82", "ab"}, {"\xAC!", "\x80!"}, {"\xF0", ""}, {"\x9F\x98", ""}, {"\x80x", "?x"},
        // A held-back start that the next block breaks: two bytes out of a one-byte block.
        {"\xC3", ""}, {"A", "?A"}, {"\xC3", ""}};
    for (const auto& [block, converted] : steps) EXPECT_EQ(Block(in, block), converted) << block;
    // Changing code sets starts a new stream.
    EXPECT_EQ(Lib().ChangeCodeSet(in, CCSS_UNCHANGED, CCSS_UNCHANGED), 1);
    EXPECT_EQ(Block(in, "\xA9"), "?");

    // Cut anywhere, as receives of 128 bytes or less cut it, a stream converts as a whole.
    std::string text;
    for (int i = 0; i < 40; ++i) text += "\xE2\x82\xAC \xC3\xA9\xF0\x9F\x98\x80-\xC3(";
    const std::string whole = Block(in, text);
    for (size_t size : {1, 2, 3, 5, 7, 128}) {
        std::string pieces;
        for (size_t at = 0; at < text.size(); at += size)
            pieces += Block(in, text.substr(at, size));
        EXPECT_EQ(pieces, whole) << size;
    }
}

TEST_F(CodeSetLibrary, WorstCaseFactorIsReachedAndNeverExceeded) {
    const LONG expected[] = {3, 1, 2, 3, 3};  // into UTF-8 from sets 1..5
    for (LONG set = 1; set <= 5; ++set) {
        BkcsContext* context = Context(set, CCSS_UTF8);
        ASSERT_EQ(Lib().HowManyTimesInWorstCase(context), expected[set - 1]);
        size_t longest = 0;
        for (int b = 0; b < 256; ++b) {
            longest = std::max(longest, Block(context, std::string(1, char(b))).size());
        }
        EXPECT_EQ(longest, static_cast<size_t>(expected[set - 1])) << set;
        EXPECT_EQ(Lib().HowManyTimesInWorstCase(Context(CCSS_UTF8, set)), 1);
        EXPECT_EQ(Lib().HowManyTimesInWorstCase(Context(set, CCSS_ISO_8859_15)), 1);
    }
    EXPECT_EQ(Lib().HowManyTimesInWorstCase(nullptr), 1);
}

TEST_F(CodeSetLibrary, ChangeCodeSetKeepsTheSideGivenMinusOneAndRefusesUnknownSets) {
    BkcsContext* context = Context(CCSS_UNCHANGED, CCSS_UTF8);  // source still Windows-1252
    EXPECT_EQ(Block(context, "\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Lib().ChangeCodeSet(context, CCSS_ISO_8859_1, CCSS_UNCHANGED), 1);
    EXPECT_EQ(Block(context, "\x80"), "\xC2\x80");
    EXPECT_EQ(Lib().ChangeCodeSet(context, CCSS_IBM437, CCSS_UNCHANGED), 1);
    EXPECT_EQ(Block(context, "\x80\xE1"), "\xC3\x87\xC3\x9F");
    EXPECT_EQ(Lib().ChangeCodeSet(context, CCSS_UNCHANGED, CCSS_ISO_8859_15), 1);
    EXPECT_EQ(Block(context, "\x82\xB0"), "\xE9?");  // é, and box drawing that Latin-9 lacks

    char out[16] = "untouched";
    EXPECT_EQ(Lib().ConvertBlock(context, "ab", -1, out), CCSS_FAILED);
    EXPECT_EQ(Lib().ConvertBlock(context, nullptr, 2, out), CCSS_FAILED);
    EXPECT_EQ(Lib().ConvertBlock(nullptr, "ab", 2, out), CCSS_FAILED);
    EXPECT_EQ(Lib().ConvertBlock(context, nullptr, 0, nullptr), CCSS_OK);
    EXPECT_EQ(context->outputLength, 0);
    EXPECT_EQ(Lib().ChangeCodeSet(context, CCSS_UNCHANGED, 99), 0);
    context->outputLength = 42;
    EXPECT_EQ(Lib().ConvertBlock(context, "ab", 2, out), CCSS_FAILED);
    EXPECT_EQ(context->outputLength, 0);
    EXPECT_EQ(Lib().HowManyTimesInWorstCase(context), 1);
    EXPECT_EQ(Lib().ConvertStr(context, "ab", out), -1);
    EXPECT_EQ(Lib().Convert(context, out), CCSS_FAILED);
    EXPECT_STREQ(out, "untouched");
    EXPECT_EQ(Lib().ChangeCodeSet(context, 0, CCSS_UTF8), 0);
    EXPECT_EQ(Lib().ChangeCodeSet(context, CCSS_IBM437, CCSS_UNCHANGED), 1);
}

TEST_F(CodeSetLibrary, WholeTextsConvertApartFromTheStream) {
    BkcsContext* out = Context(CCSS_WINDOWS_1252, CCSS_UTF8);
    char buffer[3 * 6 + 1];
    EXPECT_EQ(Lib().ConvertStr(out, "Gr\xFC\xDF" "e\x80", buffer), 10);
    EXPECT_STREQ(buffer, "Gr\xC3\xBC\xC3\x9F" "e\xE2\x82\xAC");
    char growing[] = "\xE9";
    EXPECT_EQ(Lib().Convert(out, growing), CCSS_FAILED);  // would not fit in place
    EXPECT_STREQ(growing, "\xE9");

    BkcsContext* in = Context(CCSS_UTF8, CCSS_WINDOWS_1252);
    EXPECT_EQ(Block(in, "\xC3"), "");  // the stream holds a started character...
    char text[] = "Gr\xC3\xBC\xC3\x9F" "e \xC3";
    EXPECT_EQ(Lib().Convert(in, text), CCSS_OK);
    EXPECT_STREQ(text, "Gr\xFC\xDF" "e ?");  // ...that a whole text neither ends nor takes
    EXPECT_EQ(Lib().ConvertStr(in, "x\xE2\x82", buffer), 2);
    EXPECT_STREQ(buffer, "x?");
    EXPECT_EQ(Block(in, "\xA9"), "\xE9");
}

TEST_F(CodeSetLibrary, DosFileNamesAreEightDotThreeInTheDosCodeSet) {
    const struct {
        LONG source;
        const char* name;
        const char* dos;
    } cases[] = {
        {CCSS_WINDOWS_1252, "Long File Name.text", "LONGFILE.TEX"},
        {CCSS_WINDOWS_1252, "r\xE9sum\xE9.doc", "R\x82SUM\x82.DOC"},
        {CCSS_WINDOWS_1252, "a+b=c.tar.gz", "A_B_CTAR.GZ"},
        {CCSS_WINDOWS_1252, "\x80uro", "_URO"},
        {CCSS_WINDOWS_1252, ".profile", "PROFILE"},
        {CCSS_WINDOWS_1252, "...", "_"},
        {CCSS_WINDOWS_1252, "", "_"},
        {CCSS_WINDOWS_1252, "x.", "X"},
        {CCSS_UTF8, "\xC3\xBC" "ber?\xC3.txt", "\x81" "BER__.TXT"},
    };
    char dos[13];
    for (const auto& c : cases) {
        LONG length = Lib().CreateDOSFilename(Context(c.source, CCSS_UNCHANGED), c.name, dos);
        EXPECT_STREQ(dos, c.dos) << c.name;
        EXPECT_EQ(length, static_cast<LONG>(std::strlen(c.dos))) << c.name;
    }
    EXPECT_EQ(Lib().CreateDOSFilename(nullptr, "a", dos), -1);
    EXPECT_EQ(Lib().CreateDOSFilename(Context(CCSS_UTF8, CCSS_UNCHANGED), nullptr, dos), -1);
}

TEST_F(CodeSetLibrary, TruncationAndBinaryFollowTheSourceCodeSet) {
    BkcsContext* utf8 = Context(CCSS_UTF8, CCSS_UNCHANGED);
    BkcsContext* windows = Context(CCSS_WINDOWS_1252, CCSS_UNCHANGED);
    const char* text = "a\xC3\xA9\xE2\x82\xAC";
    const LONG cutOk[] = {1, 1, 0, 1, 0, 0, 1, 1, 1};  // cuts after 0..8 bytes
    for (LONG at = 0; at <= 8; ++at) {
        EXPECT_EQ(Lib().IsTruncatable(utf8, text, at), cutOk[at]) << at;
        EXPECT_EQ(Lib().IsTruncatable(windows, text, at), 1) << at;
    }
    EXPECT_EQ(Lib().IsTruncatable(utf8, text, -1), 0);

    const struct {
        LONG set;
        std::string bytes;
        LONG binary;
    } samples[] = {
        {CCSS_WINDOWS_1252, "\x80uro caf\xE9\t\r\n\f\v", 0},
        {CCSS_WINDOWS_1252, "", 0},
        {CCSS_WINDOWS_1252, "\x81", 1},      // undefined
        {CCSS_WINDOWS_1252, "text\x1A", 1},  // Ctrl-Z
        {CCSS_WINDOWS_1252, "a\0b"s, 1},
        {CCSS_ISO_8859_1, "\x80", 1},  // a C1 control there
        {CCSS_IBM437, "\x80\xFE\xFF", 0},
        {CCSS_UTF8, "caf\xC3\xA9 \xE2\x82", 0},  // cut off by the sample's end
        {CCSS_UTF8, "caf\xC3(", 1},
        {CCSS_UTF8, "\xC2\x85", 1},  // U+0085
        {CCSS_UTF8, "\xFF", 1},
    };
    for (const auto& s : samples) {
        EXPECT_EQ(Lib().IsBinary(Context(s.set, CCSS_UNCHANGED), s.bytes.data(),
                                 static_cast<LONG>(s.bytes.size())),
                  s.binary)
            << s.set << " " << s.bytes;
    }
    EXPECT_EQ(Lib().IsBinary(nullptr, "a", 1), 1);
}

}  // namespace
