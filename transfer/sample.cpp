// The text/binary test of a sample of data, over the two binary byte sets the module
// carries, and the record-file marker of local record files.
#include "transfer/sample.h"

#include <array>

#include "records/module_state.h"

namespace {

using ByteSet = std::array<bool, 256>;

// Control characters other than tab, line feed, vertical tab, form feed and carriage
// return, and DEL, are binary in both sets; Ctrl-Z too, so a text file that still carries
// an old end-of-file mark samples as binary.
constexpr void AddControlCharacters(ByteSet& set) {
    for (int b = 0x00; b <= 0x08; ++b) set[b] = true;
    for (int b = 0x0E; b <= 0x1F; ++b) set[b] = true;
    set[0x7F] = true;
}

// The first set, for code sets whose texts need the system fixed font: only the top three
// byte values beyond the control characters.
constexpr ByteSet MakeFirstSet() {
    ByteSet set{};
    AddControlCharacters(set);
    set[0xFD] = set[0xFE] = set[0xFF] = true;
    return set;
}

// The second set, the one in use with the built-in code-set record: besides the control
// characters, most of the range 0x80 to 0x9F (0x80 to 0x90, 0x95, 0x98 to 0x9F).
constexpr ByteSet MakeSecondSet() {
    ByteSet set{};
    AddControlCharacters(set);
    for (int b = 0x80; b <= 0x90; ++b) set[b] = true;
    set[0x95] = true;
    for (int b = 0x98; b <= 0x9F; ++b) set[b] = true;
    return set;
}

constexpr ByteSet kFirstSet = MakeFirstSet();
constexpr ByteSet kSecondSet = MakeSecondSet();

uint32_t ReadLittleEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

void WriteLittleEndian32(unsigned char* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

int32_t ClassifySample(const void* bytes, int32_t length) {
    // Which set is in use is decided once, at start-up (module state).
    const ByteSet& binary =
        gModule.binaryByteSet == BinaryByteSet::First ? kFirstSet : kSecondSet;
    const auto* sample = static_cast<const unsigned char*>(bytes);
    for (int32_t i = 0; i < length; ++i) {
        if (binary[sample[i]]) return SAMPLE_BINARY;
    }
    return SAMPLE_TEXT;
}

bool StartsWithRecordFileMarker(const void* bytes, int32_t length) {
    if (length < RECORD_FILE_MARKER_SIZE) return false;
    const auto* start = static_cast<const unsigned char*>(bytes);
    return ReadLittleEndian32(start) == RECORD_FILE_MARKER_FIRST &&
           ReadLittleEndian32(start + 4) == RECORD_FILE_MARKER_SECOND;
}

void PutRecordFileMarker(void* destination) {
    auto* out = static_cast<unsigned char*>(destination);
    WriteLittleEndian32(out, RECORD_FILE_MARKER_FIRST);
    WriteLittleEndian32(out + 4, RECORD_FILE_MARKER_SECOND);
}
