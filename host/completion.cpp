// What Tab completes at ftpsh's prompt: the command names in the first word; after put,
// mput, append and lcd local names; after the other commands the remote names of the last
// listing (ls, dir, glob, mget), which is all ftpsh knows of the remote side without asking
// the server while the user types.
#include <algorithm>
#include <filesystem>

#include "host/commands.h"
#include "host/local_files.h"
#include "host/user_text.h"

namespace ftpsh {

namespace {

// The candidates of `names` for a word whose last part (after its last '/') they complete;
// the folder part of the word stays in front of each.
void AddMatches(const std::string& word, const std::vector<std::string>& names,
                std::vector<std::string>& candidates) {
    const std::string last = LastPart(word);
    const std::string folder = word.substr(0, word.size() - last.size());
    for (const std::string& name : names) {
        if (name.compare(0, last.size(), last) == 0) candidates.push_back(folder + name);
    }
}

std::vector<std::string> LocalNames(const std::string& word) {
    namespace fs = std::filesystem;
    const std::string folder = word.substr(0, word.size() - LastPart(word).size());
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, error)) {
        names.push_back(entry.path().filename().string() + (entry.is_directory(error) ? "/" : ""));
    }
    return names;
}

}  // namespace

std::vector<std::string> Shell::Completions(const std::string& before,
                                            const std::string& word) const {
    std::vector<std::string> candidates;
    const size_t start = before.find_first_not_of(" \t");
    if (start == std::string::npos) {
        AddMatches(word, CommandNames(), candidates);
    } else {
        const std::string command = before.substr(start, before.find_first_of(" \t", start) - start);
        const bool local =
            command == "put" || command == "mput" || command == "append" || command == "lcd";
        std::vector<std::string> names = local ? LocalNames(word) : lastNames_;
        // Remote names are in the module's code page, local ones already as the user types.
        if (!local) {
            for (std::string& name : names) name = HostToUser(name);
        }
        AddMatches(word, names, candidates);
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    return candidates;
}

}  // namespace ftpsh
