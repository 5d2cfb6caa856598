// What the directory and glob tests need from a host: a scripted session with a handle
// block in moveable global memory, reads that take the entries over as a host does (their
// texts copied out, their blocks freed), and incoming text converted to the local code set.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "listing/listing_handle.h"
#include "tests/codeset/stand_in_conversion.h"
#include "tests/support/scripted_session.h"

namespace tvtest {

// What a host sees of one entry. `line` is "-" when the module left the line field alone.
struct HostEntry {
    std::string name, line;
    int kind;
    bool operator==(const HostEntry&) const = default;
};
using HostEntries = std::vector<HostEntry>;

inline std::ostream& operator<<(std::ostream& out, const HostEntry& entry) {
    return out << "{" << entry.name << " | " << entry.line << " | " << entry.kind << "}";
}

// The value a host's array holds before a read; fields the module does not write keep it.
inline const HGLOBAL kHostValue = reinterpret_cast<HGLOBAL>(uintptr_t{0x7e57});

inline std::string TextOf(HGLOBAL block, uint16_t length) {
    EXPECT_EQ(GlobalSize(block), SIZE_T{length} + 1u) << "a block holds its text and a NUL";
    std::string text = static_cast<const char*>(GlobalLock(block));
    GlobalUnlock(block);
    EXPECT_EQ(text.size(), length);
    return text;
}

// One FTP_Dir_Read of up to `count` entries into an array that holds kHostValue in every
// record: the entries filled are appended to *taken and their blocks freed. Records past
// those filled must still hold what the host put there.
inline LONG ReadEntries(HostHandleBlock* block, int count, HostEntries* taken,
                        std::vector<DirEntry>* array = nullptr) {
    std::vector<DirEntry> local;
    std::vector<DirEntry>& entries = array != nullptr ? *array : local;
    entries.assign(static_cast<size_t>(count) + 1, DirEntry{});
    for (DirEntry& entry : entries) entry.name = entry.line = kHostValue;
    const LONG result = FTP_Dir_Read(block, entries.data(), count);
    for (LONG i = result; i >= 0 && i <= count; ++i) {
        EXPECT_TRUE(entries[i].name == kHostValue && entries[i].line == kHostValue) << i;
    }
    for (LONG i = 0; i < result; ++i) {
        HostEntry entry{TextOf(entries[i].name, entries[i].nameLength), "-", entries[i].kind};
        GlobalFree(entries[i].name);
        if (entries[i].line != kHostValue) {
            entry.line = TextOf(entries[i].line, entries[i].lineLength);
            GlobalFree(entries[i].line);
        }
        taken->push_back(entry);
    }
    return result;
}

// Reads `count` entries at a time up to the end of the listing.
inline HostEntries ReadAllEntries(HostHandleBlock* block, int count = 8) {
    HostEntries taken;
    for (LONG result; (result = ReadEntries(block, count, &taken)) != 0;) {
        EXPECT_GT(result, 0);
        if (result < 0) break;
    }
    return taken;
}

// FTP_Dir_Open or FTP_Glob_Open with the pattern in a memory block of its own (none for
// null); the record must be unlocked again afterwards.
inline LONG OpenListing(HGLOBAL block, HGLOBAL record, const char* pattern, bool glob = false) {
    HGLOBAL text = nullptr;
    if (pattern != nullptr) {
        text = GlobalAlloc(GHND, std::strlen(pattern) + 1);
        std::strcpy(static_cast<char*>(GlobalLock(text)), pattern);
        GlobalUnlock(text);
    }
    const LONG result =
        glob ? FTP_Glob_Open(block, text, record) : FTP_Dir_Open(block, text, record);
    if (text != nullptr) GlobalFree(text);
    EXPECT_EQ(GlobalFlags(record) & GMEM_LOCKCOUNT, 0u) << "the open unlocks the record";
    return result;
}

class ListingSession : public ScriptedSession {
public:
    using ScriptedSession::ScriptedSession;
    ~ListingSession() {
        if (block_ != nullptr) GlobalUnlock(blockHandle_);
        GlobalFree(blockHandle_);
    }
    // The connection in `type` with these flags; listings are parsed unless `options` says
    // otherwise.
    void Begin(int32_t type, uint32_t stateFlags, uint8_t options = OPTION_PARSE_DIRECTORIES,
               uint32_t quirks = 0) {
        ScriptedSession::Begin(stateFlags, type, options, quirks);
    }
    LONG Open(const char* pattern, bool glob = false) {
        const LONG result = OpenListing(blockHandle_, recordHandle(), pattern, glob);
        if (block_ == nullptr) block_ = static_cast<HostHandleBlock*>(GlobalLock(blockHandle_));
        return result;
    }
    HostHandleBlock* block() const { return block_; }
    ListingHandle* handle() const { return static_cast<ListingHandle*>(block_->handleSlot); }
    LONG Read(int count, HostEntries* taken, std::vector<DirEntry>* array = nullptr) {
        const LONG result = ReadEntries(block_, count, taken, array);
        EXPECT_EQ(GlobalFlags(recordHandle()) & GMEM_LOCKCOUNT, 0u) << "the record stays locked";
        return result;
    }
    HostEntries ReadAll(int count = 8) { return ReadAllEntries(block_, count); }
    LONG Close() { return FTP_Dir_Close(block_); }

private:
    HGLOBAL blockHandle_ = GlobalAlloc(GHND, sizeof(HostHandleBlock));
    HostHandleBlock* block_ = nullptr;
};

// Incoming text converted while the object lives: upper-cased, with a worst case of 2, and
// failing on a block that holds a "#".
struct UpperCaseConversion : StandInConversion {
    UpperCaseConversion()
        : StandInConversion({.worstCase = 2, .upperCase = true, .refused = '#'}) {}
};

inline std::vector<std::string> NamesOf(const HostEntries& entries) {
    std::vector<std::string> names;
    for (const HostEntry& entry : entries) names.push_back(entry.name);
    return names;
}

// The PORT step and a listing command answered with 150 and these data.
inline ScriptedServer& ListingOverPort(ScriptedServer& server, const std::string& command,
                                       const std::string& data) {
    return server.ExpectLineStartingWith("PORT 127,0,0,1,").Reply("200 PORT ok.\r\n")
        .Expect(command).Reply("150 Here it comes.\r\n").ConnectToPort().DataSend(data);
}

// The same, with the data connection closed and the 226 after it.
inline ScriptedServer& CompletedListing(ScriptedServer& server, const std::string& command,
                                        const std::string& data) {
    return ListingOverPort(server, command, data).DataClose().Reply("226 Done.\r\n");
}

// A UNIX listing line dated with a year, of a directory for kind 'd', else of a file.
inline std::string UnixLine(const std::string& name, char kind = 'f') {
    return (kind == 'd' ? "d" : "-") + std::string("rw-r--r--   1 user  group  512 Jan 12  1995 ") +
           name;
}

}  // namespace tvtest
