// How many listing lines per second the UNIX-style parser turns into entries: lines as
// vsftpd, proftpd and pure-ftpd write them (files and directories, times of day and years,
// names with blanks), each copied into a line buffer first as the line reader hands it
// over, and each entry's blocks freed afterwards as a host frees them. Link lines are left
// out: they are put aside for the deferred-link pass, which asks the server about each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "listing/listing_parser.h"

namespace {

std::vector<std::string> RealisticLines(int count) {
    static const char* const kOwners[] = {"1000     1000    ", "ftpuser  ftpgroup", "www-data www-data",
                                          "root     root    "};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Jun", "Sep", "Dec"};
    std::vector<std::string> lines;
    char line[256];
    for (int i = 0; i < count; ++i) {
        const bool directory = i % 10 == 0;
        const bool thisYear = i % 3 != 0;
        char date[32];
        if (thisYear) {
            std::snprintf(date, sizeof date, "%s %2d %02d:%02d", kMonths[i % 6], 1 + i % 28, i % 24, i % 60);
        } else {
            std::snprintf(date, sizeof date, "%s %2d  %d", kMonths[i % 6], 1 + i % 28, 2000 + i % 24);
        }
        const char* name = i % 7 == 0 ? "quarterly report %d (final).pdf" : "photo-%06d.jpg";
        char nameText[64];
        std::snprintf(nameText, sizeof nameText, name, i);
        std::snprintf(line, sizeof line, "%s   1 %s %12lu %s %s", directory ? "drwxr-xr-x" : "-rw-r--r--",
                      kOwners[i % 4], directory ? 4096ul : 1000ul + 7919ul * static_cast<unsigned long>(i),
                      date, directory ? "folder" : nameText);
        lines.emplace_back(line);
    }
    return lines;
}

void BM_UnixParserLines(benchmark::State& state) {
    const std::vector<std::string> lines = RealisticLines(997);
    ListingHandle handle{};
    handle.kindMask = KIND_MASK_ALL;
    handle.lineCount = 2;
    char buffer[LISTING_LINE_BUFFER_SIZE];
    size_t next = 0;
    int64_t entries = 0;
    for (auto _ : state) {
        const std::string& line = lines[next];
        next = next + 1 == lines.size() ? 0 : next + 1;
        std::memcpy(buffer, line.c_str(), line.size() + 1);
        DirEntry entry{};
        const int32_t result = ParseUnixLine(&entry, buffer, &handle, HOST_UNIX);
        benchmark::DoNotOptimize(result);
        if (result >= 0) ++entries;
        FreeEntryName(&entry);
        FreeEntryLine(&entry);
    }
    if (entries != static_cast<int64_t>(state.iterations())) state.SkipWithError("a line gave no entry");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_UnixParserLines);

}  // namespace
