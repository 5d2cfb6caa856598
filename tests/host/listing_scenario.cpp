// What the listing scenario's output should hold.
#include "tests/host/listing_scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "tests/host/ftpsh_process.h"

namespace ftpsh_test {

namespace {

using Names = std::vector<std::string>;

Names Sorted(Names lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// What ls prints for a folder on disk: "/" after directories and links to them.
Names ExpectedNames(const std::string& folder, bool parsed) {
    namespace fs = std::filesystem;
    Names names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        names.push_back(name + (fs::is_directory(entry.path()) ? "/" : ""));
    }
    return names;
}

}  // namespace

void CheckListingScenario(const std::string& out, const std::string& root, bool parsed) {
    // The open's message, then the parts between the lines "/".
    Names lines = Lines(out);
    std::vector<Names> parts(1);
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i] == "/") {
            parts.emplace_back();
        } else {
            parts.back().push_back(lines[i]);
        }
    }
    ASSERT_EQ(parts.size(), 3u) << out;

    Names rootNames = ExpectedNames(root, parsed);
    Names emptyNames;
    EXPECT_EQ(Sorted(parts[0]), Sorted(rootNames));
    EXPECT_EQ(Sorted(parts[1]), Sorted(emptyNames));

    // The server's own line for the file (vsftpd also lists the link that points to it),
    // then the attributes.
    const Names& rest = parts[2];
    ASSERT_GE(rest.size(), 3u) << out;
    EXPECT_TRUE(std::any_of(rest.begin(), rest.end() - 2, [](const std::string& line) {
        return line.rfind("-rw-r--r--", 0) == 0 && line.size() > 7 &&
               line.compare(line.size() - 7, 7, " lf.txt") == 0;
    })) << out;
    EXPECT_EQ(Names(rest.end() - 2, rest.end()), (Names{"dir: directory", "lf.txt: file"}));
}

}  // namespace ftpsh_test
