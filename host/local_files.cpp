// Local files for copies, and the names and sizes ftpsh reads around them.
#include "host/local_files.h"
#include "host/user_text.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace ftpsh {

LocalFile::LocalFile() {
    file_.file = HFILE_ERROR;
    block_.handleSlot = &file_;
    record_.fsKind = FS_KIND_LOCAL;
}

LocalFile::~LocalFile() {
    if (file_.file != HFILE_ERROR) _lclose(file_.file);
}

std::string LocalFile::OpenForReading(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return path + " is a directory";
    file_.file = _lopen(path.c_str(), OF_READ);
    return file_.file == HFILE_ERROR ? "cannot open " + path : "";
}

std::string LocalFile::Create(const std::string& path) {
    file_.file = _lcreat(path.c_str(), 0);
    // A fresh file: no CR is pending from an earlier text download.
    file_.carriageReturn = 0;
    return file_.file == HFILE_ERROR ? "cannot create " + path : "";
}

long LocalFile::Size() const {
    if (file_.file == HFILE_ERROR) return 0;
    const LONG here = _llseek(file_.file, 0, FILE_CURRENT);
    const LONG end = _llseek(file_.file, 0, FILE_END);
    _llseek(file_.file, here, FILE_BEGIN);
    return end < 0 ? 0 : end;
}

std::string LastPart(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MatchesWildcards(const std::string& pattern, const std::string& name) {
    // The classic walk with one remembered star: on a mismatch the last star takes one more
    // character.
    size_t p = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::string> LocalFilesMatching(const std::string& pattern) {
    namespace fs = std::filesystem;
    const std::string last = LastPart(pattern);
    const std::string folder = pattern.substr(0, pattern.size() - last.size());
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : LocalName(folder), error)) {
        const std::string name = HostName(entry.path().filename().string());
        if (entry.is_regular_file(error) && MatchesWildcards(last, name)) {
            paths.push_back(folder + name);
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::optional<long long> SizeInListingLine(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; fields.size() < 5 && in >> field;) fields.push_back(field);
    auto number = [](const std::string& text) -> std::optional<long long> {
        if (text.empty() || text.size() > 18 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        return std::stoll(text);
    };
    if (fields.size() == 5 && fields[0].size() == 10 && fields[0][0] == '-') return number(fields[4]);
    if (fields.size() >= 3 && fields[0].size() == 8 && fields[0][2] == '-') return number(fields[2]);
    return std::nullopt;
}

}  // namespace ftpsh
