// Converting between the module's host code page and the user's own characters, with the
// code-set library's own tables and conversion (built into ftpsh from its sources).
#include "host/user_text.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "codeset/bkcs32/transcode.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#endif

namespace ftpsh {

namespace {

uint8_t gServerCodeSet = 0;
// The code set of the terminal and of local names; 0 while nothing is converted.
LONG gUserCodeSet = 0;

std::string Folded(const std::string& name) {
    std::string folded;
    for (char c : name) {
        if (c != '-' && c != '_') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return folded;
}

std::string Convert(LONG from, LONG to, const char* text, size_t length) {
    const BkcsCodeSetTable* source = bkcs::FindCodeSet(from);
    const BkcsCodeSetTable* target = bkcs::FindCodeSet(to);
    if (source == nullptr || target == nullptr || from == to) return std::string(text, length);
    std::vector<uint8_t> out(length * static_cast<size_t>(bkcs::WorstCaseFactor(*source, *target)) + 1);
    bkcs::Utf8Decoder decoder;
    const size_t written =
        bkcs::Transcode(*source, *target, reinterpret_cast<const uint8_t*>(text), length,
                        out.data(), decoder, bkcs::StreamEnd::kTextEnds);
    return std::string(reinterpret_cast<const char*>(out.data()), written);
}

#if !defined(_WIN32)
// Standard output and error through a filter that converts the host code page to the
// terminal's. Windows-1252 is a single-byte set, so any piece of the output converts on
// its own. The five bytes Windows leaves undefined stand for C1 controls there, which a
// terminal could take as the start of a control sequence: they are shown as '?'.
ssize_t WriteConverted(void* cookie, const char* bytes, size_t size) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(cookie));
    std::string text(bytes, size);
    const uint16_t* characters = bkcs::FindCodeSet(CCSS_WINDOWS_1252)->toUnicode;
    for (char& c : text) {
        const uint16_t character = characters[static_cast<unsigned char>(c)];
        if (character >= 0x80 && character <= 0x9F) c = '?';
    }
    const std::string shown = Convert(CCSS_WINDOWS_1252, gUserCodeSet, text.data(), text.size());
    size_t done = 0;
    while (done < shown.size()) {
        const ssize_t written = write(fd, shown.data() + done, shown.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return -1;
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(size);
}

FILE* ConvertingStream(int fd, const char* mode, int buffering) {
    cookie_io_functions_t functions{};
    functions.write = &WriteConverted;
    FILE* stream = fopencookie(reinterpret_cast<void*>(static_cast<intptr_t>(fd)), mode, functions);
    if (stream != nullptr) setvbuf(stream, nullptr, buffering, BUFSIZ);
    return stream;
}
#endif

}  // namespace

uint8_t CodeSetNumber(const std::string& name) {
    const std::string wanted = Folded(name) == "cp1252" ? "windows1252" : Folded(name);
    for (LONG number = 1; number <= CCSS_CODE_SET_COUNT; ++number) {
        if (Folded(bkcs::FindCodeSet(number)->name) == wanted) return static_cast<uint8_t>(number);
    }
    return 0;
}

void ChooseServerCodeSet(uint8_t number) {
    gServerCodeSet = number;
    if (number == 0) return;
#if defined(_WIN32)
    // The console converts: with its code pages set to the host code page, what ftpsh
    // writes shows as the characters they are, and what is typed arrives in it. Local names
    // go to the system's ANSI calls, which take the host code page as they are.
    // The console keeps its code pages after ftpsh ends, so they are put back then.
    static const UINT savedOutput = GetConsoleOutputCP(), savedInput = GetConsoleCP();
    if (savedOutput != 0 && savedInput != 0) {
        std::atexit([] {
            SetConsoleOutputCP(savedOutput);
            SetConsoleCP(savedInput);
        });
    }
    SetConsoleOutputCP(1252);
    SetConsoleCP(1252);
#else
    // The terminal's encoding is the locale's. A locale that names none of the code sets
    // known here (the "C" locale names ASCII) is taken as UTF-8, which every terminal of
    // today speaks and of which ASCII is a part.
    std::setlocale(LC_CTYPE, "");
    gUserCodeSet = CodeSetNumber(nl_langinfo(CODESET));
    if (gUserCodeSet == 0) gUserCodeSet = CCSS_UTF8;
    std::fflush(stdout);
    std::fflush(stderr);
    FILE* out = ConvertingStream(STDOUT_FILENO, "w", isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF);
    FILE* err = ConvertingStream(STDERR_FILENO, "w", _IONBF);
    if (out != nullptr) stdout = out;
    if (err != nullptr) stderr = err;
#endif
}

uint8_t ServerCodeSet() { return gServerCodeSet; }

std::string UserToHost(const std::string& typed) {
    return gUserCodeSet == 0 ? typed : Convert(gUserCodeSet, CCSS_WINDOWS_1252, typed.data(), typed.size());
}

std::string HostToUser(const std::string& text) {
    return gUserCodeSet == 0 ? text : Convert(CCSS_WINDOWS_1252, gUserCodeSet, text.data(), text.size());
}

std::string LocalName(const std::string& hostName) { return HostToUser(hostName); }

std::string HostName(const std::string& localName) { return UserToHost(localName); }

}  // namespace ftpsh
