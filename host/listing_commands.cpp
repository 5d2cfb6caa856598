// ftpsh's listing commands. ls, dir and glob open a directory or wildcard listing through
// the module's handle exports, read it 64 entries at a time and print each entry's name or
// its listing line; the name and line blocks of every entry read are ftpsh's, which takes
// their texts and frees them. info hands the module a name list made with VAULT32 and
// prints the lines the module passes back; attr names the attribute flags of one name.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/file_system_layer.h"
#include "host/handed_text.h"

namespace ftpsh {

namespace {

constexpr int32_t kEntriesPerRead = 64;

// One entry once its read returned: the texts out of the module's blocks, which are freed.
struct Entry {
    std::string name;
    std::string line;  // "" where the module set no line (name lists on some systems)
    uint8_t kind;
};

// The three exports of one listing family (the directory or the glob exports).
struct ListingFamily {
    decltype(&FTP_Dir_Open) open;
    decltype(&FTP_Dir_Read) read;
    decltype(&FTP_Dir_Close) close;
};

// A moveable block holding `text` and its NUL, as a host passes texts to the module; null
// when memory is short.
HGLOBAL TextBlock(const std::string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
    if (block == nullptr) return nullptr;
    if (auto* bytes = static_cast<char*>(GlobalLock(block))) {
        std::memcpy(bytes, text.data(), text.size());
        GlobalUnlock(block);
        return block;
    }
    GlobalFree(block);
    return nullptr;
}

// A listing open in the module behind a handle block that ftpsh owns, as the file manager
// owns its handle blocks; closed and freed on every path.
class Listing {
public:
    explicit Listing(const ListingFamily& family) : family_(family) {}
    ~Listing() { Close(); }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    // Opens the listing of `pattern` (null: the working directory): 0 or more, or an
    // FsError.
    int32_t Open(HGLOBAL stateRecord, const std::string* pattern);
    // The next entries: their number (0 at the end of the listing), or an FsError.
    int32_t Read(std::vector<Entry>& entries);
    // 0, or the error of putting the connection's representation back.
    int32_t Close();

private:
    // Frees the handle block (the module's listing behind it is closed or never opened).
    void Release();

    ListingFamily family_;
    HGLOBAL block_ = nullptr;
    HostHandleBlock* handleBlock_ = nullptr;
};

int32_t Listing::Open(HGLOBAL stateRecord, const std::string* pattern) {
    // The block stays locked while the listing is open: reads and the close take its
    // address, and the module keeps its record in it.
    block_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(HostHandleBlock));
    handleBlock_ = block_ != nullptr ? static_cast<HostHandleBlock*>(GlobalLock(block_)) : nullptr;
    HGLOBAL patternBlock = pattern != nullptr ? TextBlock(*pattern) : nullptr;
    int32_t result = FSE_NO_MEMORY;
    if (handleBlock_ != nullptr && (pattern == nullptr || patternBlock != nullptr))
        result = family_.open(block_, patternBlock, stateRecord);
    // The module reads the pattern during the open only.
    if (patternBlock != nullptr) GlobalFree(patternBlock);
    if (result < 0) Release();
    return result;
}

int32_t Listing::Read(std::vector<Entry>& entries) {
    entries.clear();
    // The records start zero-filled for every read: a read that fails frees the blocks of
    // the records it filled and passes over handles of 0, so none of an earlier read (long
    // freed) may be left in them.
    std::vector<DirEntry> records(kEntriesPerRead);
    const int32_t count = family_.read(handleBlock_, records.data(), kEntriesPerRead);
    for (int32_t i = 0; i < std::min(count, kEntriesPerRead); ++i) {
        entries.push_back(
            {TakeTextBlock(records[i].name), TakeTextBlock(records[i].line), records[i].kind});
    }
    return count;
}

int32_t Listing::Close() {
    const int32_t result = handleBlock_ != nullptr ? family_.close(handleBlock_) : 0;
    Release();
    return result;
}

void Listing::Release() {
    if (handleBlock_ != nullptr) GlobalUnlock(block_);
    if (block_ != nullptr) GlobalFree(block_);
    block_ = nullptr;
    handleBlock_ = nullptr;
}

// The host's line function of FTP_Get_File_Info: each line of the server's listing of a
// name, printed as it comes.
LONG CALLBACK PrintInfoLine(LPCSTR line, int length, DWORD) {
    if (line == nullptr) return 0;
    const size_t size = length >= 0 ? strnlen(line, static_cast<size_t>(length)) : 0;
    const std::string shown = ShownText(std::string_view(line, size)) + "\n";
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    return 0;
}

// The attribute flags in words: "directory", else the type and structure the server
// reported, else "file".
std::string AttributeWords(uint8_t flags) {
    if (flags & ATTR_DIRECTORY) return "directory";
    static constexpr struct {
        uint8_t flag;
        const char* word;
    } kWords[] = {{ATTR_ASCII, "ascii"}, {ATTR_IMAGE, "image"}, {ATTR_RECORD, "record"}};
    std::string words;
    for (const auto& [flag, word] : kWords) {
        if ((flags & flag) == 0) continue;
        if (!words.empty()) words += ' ';
        words += word;
    }
    return words.empty() ? "file" : words;
}

}  // namespace

CommandResult Shell::List(const Command& command, const Words& words) {
    // glob lists through the glob exports; dir prints the listing lines, ls and glob names.
    const std::string_view name = command.name;
    const ListingFamily family =
        name == "glob" ? ListingFamily{module_.globOpen, module_.globRead, module_.globClose}
                       : ListingFamily{module_.dirOpen, module_.dirRead, module_.dirClose};
    const bool lines = name == "dir";
    if (!ReadyFor(command,
                  family.open != nullptr && family.read != nullptr && family.close != nullptr))
        return CommandResult::Failed;

    Listing listing(family);
    int32_t result = listing.Open(session_.recordHandle(), words.size() > 1 ? &words[1] : nullptr);
    std::vector<Entry> entries;
    lastNames_.clear();
    while (result >= 0 && (result = listing.Read(entries)) > 0) {
        std::string shown;
        for (const Entry& entry : entries) {
            lastNames_.push_back(entry.name + (entry.kind == ENTRY_DIRECTORY ? "/" : ""));
            if (lines) {
                shown += ShownText(entry.line.empty() ? entry.name : entry.line);
            } else {
                shown += ShownText(entry.name);
                if (entry.kind == ENTRY_DIRECTORY) shown += '/';
            }
            shown += '\n';
        }
        std::fwrite(shown.data(), 1, shown.size(), stdout);
    }
    const int32_t closed = listing.Close();
    if (result >= 0) result = closed;
    return Report(command.name, result, "");
}

int32_t Shell::ListRemote(const std::string& pattern, bool glob,
                          std::vector<RemoteEntry>& entries) {
    const ListingFamily family =
        glob ? ListingFamily{module_.globOpen, module_.globRead, module_.globClose}
             : ListingFamily{module_.dirOpen, module_.dirRead, module_.dirClose};
    if (family.open == nullptr || family.read == nullptr || family.close == nullptr)
        return FSE_NOT_SUPPORTED;
    Listing listing(family);
    int32_t result = listing.Open(session_.recordHandle(), &pattern);
    std::vector<Entry> read;
    while (result >= 0 && (result = listing.Read(read)) > 0) {
        for (Entry& entry : read) entries.push_back({entry.name, entry.line, entry.kind});
    }
    const int32_t closed = listing.Close();
    return result < 0 ? result : closed;
}

CommandResult Shell::ShowFileInfo(const Command& command, const Words& words) {
    if (!ReadyFor(command, module_.fileInfo != nullptr)) return CommandResult::Failed;
    NameList list;
    const std::string problem = list.Make({words.begin() + 1, words.end()});
    if (!problem.empty()) {
        Complain("info: " + problem);
        return CommandResult::Failed;
    }
    int32_t result;
    {
        LockedRecord record(session_.recordHandle());
        result = module_.fileInfo(list.handle(), record.get(), &PrintInfoLine);
    }
    if (!list.Free()) {
        Complain("info: the module did not give back a name of the name list");
        return CommandResult::Failed;
    }
    return Report("info", result, "");
}

CommandResult Shell::ShowAttributes(const Command& command, const Words& words) {
    if (!ReadyFor(command, module_.attributes != nullptr)) return CommandResult::Failed;
    // The module leaves the record as it was when it could not find out what the name is,
    // and returns 0 all the same: a record marked beforehand tells that case apart from a
    // plain file, whose record comes back all zero.
    AttributeRecord attributes;
    std::memset(&attributes, 0xFF, sizeof attributes);
    int32_t result;
    {
        LockedRecord record(session_.recordHandle());
        result = module_.attributes(words[1].c_str(), record.get(), &attributes);
    }
    if (result >= 0 && attributes.zero[0] == 0xFF) {
        Complain("attr: the server did not tell what " + words[1] + " is");
        return CommandResult::Failed;
    }
    return Report("attr", result, words[1] + ": " + AttributeWords(attributes.flags));
}

}  // namespace ftpsh
