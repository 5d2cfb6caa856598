// What the directory and glob tests need from a host: a scripted server with a connection
// to it, the state record and handle block in moveable global memory, and reads that take
// the entries over as a host does (their texts copied out, their blocks freed).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codeset/code_set_state.h"
#include "driver/ftp_connection.h"
#include "listing/listing_handle.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"

namespace tvtest {

// What a host sees of one entry. `line` is "-" when the module left the line field alone.
struct HostEntry {
    std::string name;
    std::string line;
    int kind;
    bool operator==(const HostEntry&) const = default;
};

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
// record, as a host takes them over: the entries filled are appended to *taken and their
// blocks freed. Records past those filled must still hold what the host put there.
inline LONG ReadEntries(HostHandleBlock* block, int count, std::vector<HostEntry>* taken,
                        std::vector<DirEntry>* array = nullptr) {
    std::vector<DirEntry> local;
    std::vector<DirEntry>& entries = array != nullptr ? *array : local;
    entries.assign(static_cast<size_t>(count) + 1, DirEntry{});
    for (DirEntry& entry : entries) entry.name = entry.line = kHostValue;
    LONG result = FTP_Dir_Read(block, entries.data(), count);
    for (LONG i = result; i >= 0 && i <= count; ++i) {
        EXPECT_EQ(entries[i].name, kHostValue) << "record " << i << " was not filled";
        EXPECT_EQ(entries[i].line, kHostValue) << "record " << i << " was not filled";
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
inline std::vector<HostEntry> ReadAllEntries(HostHandleBlock* block, int count = 8) {
    std::vector<HostEntry> taken;
    for (LONG result; (result = ReadEntries(block, count, &taken)) != 0;) {
        EXPECT_GT(result, 0);
        if (result < 0) break;
    }
    return taken;
}

class ListingSession {
public:
    explicit ListingSession(uint8_t hostType = HOST_UNIX)
        : record_(GlobalAlloc(GHND, sizeof(FsStateRecord))),
          block_(GlobalAlloc(GHND, sizeof(HostHandleBlock))) {
        Record()->hostType = hostType;
        GlobalUnlock(record_);
    }
    ~ListingSession() {
        if (blockPointer_ != nullptr) GlobalUnlock(block_);
        GlobalFree(block_);
        GlobalFree(record_);
    }
    ListingSession(const ListingSession&) = delete;
    ListingSession& operator=(const ListingSession&) = delete;

    ScriptedServer& server() { return server_; }

    // Starts the server, which closes after its last step (a command the transcript does
    // not hold then fails at once), and connects. The connection is in `type` with file
    // structure, with the given state, option and quirk flags.
    void Begin(int32_t type, uint32_t stateFlags, uint8_t options = OPTION_PARSE_DIRECTORIES,
               uint32_t quirks = 0) {
        server_.Close().Start();
        client_ = std::make_unique<TestConnection>(server_.Port());
        FtpConnection* connection = client_->get();
        connection->currentType = type;
        connection->currentStructure = STRUCTURE_FILE;
        connection->currentFormat = 1;
        connection->currentMode = 1;
        connection->stateFlags = stateFlags;
        connection->optionFlags = options;
        connection->hostQuirks = quirks;
        Record()->connection = connection;
        GlobalUnlock(record_);
    }
    FtpConnection* connection() const { return client_->get(); }
    HGLOBAL record() const { return record_; }
    void SetHostType(uint8_t hostType) {
        Record()->hostType = hostType;
        GlobalUnlock(record_);
    }
    std::string Finish() { return server_.Finish(); }

    // FTP_Dir_Open (or FTP_Glob_Open) with the pattern in a memory block of its own, or
    // with no pattern block at all for null.
    LONG Open(const char* pattern, bool glob = false) {
        HGLOBAL text = nullptr;
        if (pattern != nullptr) {
            text = GlobalAlloc(GHND, std::strlen(pattern) + 1);
            std::strcpy(static_cast<char*>(GlobalLock(text)), pattern);
            GlobalUnlock(text);
        }
        LONG result = glob ? FTP_Glob_Open(block_, text, record_) : FTP_Dir_Open(block_, text, record_);
        if (text != nullptr) GlobalFree(text);
        EXPECT_EQ(GlobalFlags(record_) & GMEM_LOCKCOUNT, 0u) << "the open unlocks the record";
        if (blockPointer_ == nullptr) blockPointer_ = static_cast<HostHandleBlock*>(GlobalLock(block_));
        return result;
    }
    HostHandleBlock* block() const { return blockPointer_; }
    ListingHandle* handle() const { return static_cast<ListingHandle*>(blockPointer_->handleSlot); }

    // One read of up to `count` entries into an array that holds kHostValue everywhere;
    // the entries filled are appended to *taken and their blocks freed (see ReadEntries).
    LONG Read(int count, std::vector<HostEntry>* taken, std::vector<DirEntry>* array = nullptr) {
        LONG result = ReadEntries(blockPointer_, count, taken, array);
        EXPECT_EQ(GlobalFlags(record_) & GMEM_LOCKCOUNT, 0u) << "the read unlocks the record";
        return result;
    }
    std::vector<HostEntry> ReadAll(int count = 8) { return ReadAllEntries(blockPointer_, count); }
    LONG Close() { return FTP_Dir_Close(blockPointer_); }

private:
    FsStateRecord* Record() { return static_cast<FsStateRecord*>(GlobalLock(record_)); }

    ScriptedServer server_;
    std::unique_ptr<TestConnection> client_;
    HGLOBAL record_;
    HGLOBAL block_;
    HostHandleBlock* blockPointer_ = nullptr;
};

// Incoming text converted while the object lives: upper-cased, with a worst case of 2, and
// failing on a block that holds a "#". The largest block converted is recorded.
class UpperCaseConversion {
public:
    UpperCaseConversion() {
        largestBlock() = 0;
        gCodeSet.functions.convertBlock = Convert;
        gCodeSet.functions.howManyTimesInWorstCase = WorstCase;
        gCodeSet.incoming = &context();
        gCodeSet.conversionActive = true;
    }
    ~UpperCaseConversion() {
        InstallCcssFallbacks();
        gCodeSet.outgoing = gCodeSet.incoming = BuiltInContext();
        gCodeSet.conversionActive = gCodeSet.conversionDisabled = false;
    }
    UpperCaseConversion(const UpperCaseConversion&) = delete;
    UpperCaseConversion& operator=(const UpperCaseConversion&) = delete;
    static LONG& largestBlock() {
        static LONG largest = 0;
        return largest;
    }

private:
    static CcssContext& context() {
        static CcssContext incoming{0};
        return incoming;
    }
    static LONG WINAPI WorstCase(CcssContext*) { return 2; }
    static LONG WINAPI Convert(CcssContext* context, const char* source, LONG length,
                               char* destination) {
        if (length > largestBlock()) largestBlock() = length;
        for (LONG i = 0; i < length; ++i) {
            if (source[i] == '#') return 3;
            char c = source[i];
            destination[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
        context->outputLength = length;
        return CCSS_CONVERTED;
    }
};

// Names of a listing, in order.
inline std::vector<std::string> NamesOf(const std::vector<HostEntry>& entries) {
    std::vector<std::string> names;
    for (const HostEntry& entry : entries) names.push_back(entry.name);
    return names;
}

// A UNIX listing line of a file or directory dated with a year.
inline std::string UnixLine(const std::string& name, char type = '-') {
    return std::string(1, type) + "rw-r--r--   1 user  group  512 Jan 12  1995 " + name;
}

}  // namespace tvtest
