// Private-profile (INI) files: "[section]" headers and "key=value" lines, with section and
// key names found whatever their case. Writing changes only the line concerned and keeps
// every other line (comments, blank lines, unknown keys) and the file's line ends; a null
// key deletes a whole section and a null value deletes a key, as on Windows.
//
// A file name without a directory is looked for in the directory named by the environment
// variable TVPLATFORM_WINDOWS_DIR, which stands for the Windows directory, and in the
// current directory when that variable is not set.
#include "platform/posix/ansi_case.h"
#include "platform/posix/win32.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using tvplatform::AnsiCompareNoCase;

namespace {

std::mutex gProfileMutex;

std::string_view Trim(std::string_view text) {
    auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
    };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, const char* b) {
    return AnsiCompareNoCase(std::string(a).c_str(), std::string(Trim(b)).c_str()) == 0;
}

std::string ProfilePath(const char* fileName) {
    std::string name(fileName);
    if (name.find('/') != std::string::npos) return name;
    const char* windowsDir = std::getenv("TVPLATFORM_WINDOWS_DIR");
    if (windowsDir == nullptr || *windowsDir == '\0') return name;
    return std::string(windowsDir) + "/" + name;
}

// The file as lines, without their line ends, and the line end to write them back with.
struct ProfileFile {
    std::vector<std::string> lines;
    std::string lineEnd = "\r\n";
    bool endsWithLineEnd = true;
    bool exists = false;
};

ProfileFile Load(const std::string& path) {
    ProfileFile file;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return file;
    file.exists = true;
    std::string content;
    char buffer[4096];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        content.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    size_t firstNewline = content.find('\n');
    if (firstNewline != std::string::npos) {
        file.lineEnd = (firstNewline > 0 && content[firstNewline - 1] == '\r') ? "\r\n" : "\n";
    }
    file.endsWithLineEnd = content.empty() || content.back() == '\n';
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        file.lines.push_back(std::move(line));
        start = end + 1;
    }
    return file;
}

bool Save(const std::string& path, const ProfileFile& file) {
    std::string content;
    for (size_t i = 0; i < file.lines.size(); ++i) {
        content += file.lines[i];
        if (i + 1 < file.lines.size() || file.endsWithLineEnd) content += file.lineEnd;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return false;
    }
    size_t done = 0;
    while (done < content.size()) {
        ssize_t put = write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) {
            close(fd);
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return close(fd) == 0;
}

// The name of a "[section]" line; a header without its closing bracket runs to the end.
std::optional<std::string_view> SectionNameOf(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    size_t close = line.find(']');
    if (close != std::string_view::npos) line = line.substr(0, close);
    return Trim(line);
}

// A "key=value" line; comment lines (starting with ';') and lines without '=' have no key.
struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> KeyLineOf(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
    size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return KeyLine{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

// Index ranges [header, end) of the sections with a given name, in file order.
struct SectionRange {
    size_t header;
    size_t end;
};

std::vector<SectionRange> FindSections(const ProfileFile& file, const char* section) {
    std::vector<SectionRange> ranges;
    for (size_t i = 0; i < file.lines.size(); ++i) {
        auto name = SectionNameOf(file.lines[i]);
        if (!name) continue;
        if (!ranges.empty() && ranges.back().end == 0) ranges.back().end = i;
        if (SameName(*name, section)) ranges.push_back({i, 0});
    }
    if (!ranges.empty() && ranges.back().end == 0) ranges.back().end = file.lines.size();
    return ranges;
}

std::optional<size_t> FindKey(const ProfileFile& file, const SectionRange& range, const char* key) {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        auto keyLine = KeyLineOf(file.lines[i]);
        if (keyLine && SameName(keyLine->key, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> LookUp(const char* section, const char* key, const char* fileName) {
    ProfileFile file = Load(ProfilePath(fileName));
    for (const SectionRange& range : FindSections(file, section)) {
        if (auto line = FindKey(file, range, key)) {
            std::string_view value = KeyLineOf(file.lines[*line])->value;
            // A value in matching quotes is given without them.
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            return std::string(value);
        }
    }
    return std::nullopt;
}

// Copies a text into the caller's buffer: at most size - 1 characters and a NUL.
DWORD CopyOut(const std::string& text, LPSTR out, DWORD size) {
    DWORD length = static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
    text.copy(out, length);
    out[length] = '\0';
    return length;
}

// A list of names, each ending in a NUL, the whole ending in a second NUL. When the buffer
// is too small the list is cut, still ends in two NULs, and the result is size - 2.
DWORD CopyOutList(const std::vector<std::string>& names, LPSTR out, DWORD size) {
    if (size < 2) {
        out[0] = '\0';
        return 0;
    }
    DWORD used = 0;
    for (const std::string& name : names) {
        for (char c : name) {
            if (used + 2 >= size) {
                out[used] = '\0';
                out[used + 1] = '\0';
                return size - 2;
            }
            out[used++] = c;
        }
        if (used + 2 >= size) {
            out[used] = '\0';
            out[used + 1] = '\0';
            return size - 2;
        }
        out[used++] = '\0';
    }
    out[used] = '\0';
    return used;
}

}  // namespace

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out,
                                      DWORD size, LPCSTR fileName) {
    if (out == nullptr || size == 0) return 0;
    if (fileName == nullptr) {
        out[0] = '\0';
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> lock(gProfileMutex);
    if (section == nullptr || key == nullptr) {
        ProfileFile file = Load(ProfilePath(fileName));
        std::vector<std::string> names;
        if (section == nullptr) {
            for (const std::string& line : file.lines) {
                if (auto name = SectionNameOf(line)) names.emplace_back(*name);
            }
        } else {
            for (const SectionRange& range : FindSections(file, section)) {
                for (size_t i = range.header + 1; i < range.end; ++i) {
                    if (auto keyLine = KeyLineOf(file.lines[i])) names.emplace_back(keyLine->key);
                }
            }
        }
        return CopyOutList(names, out, size);
    }
    if (auto value = LookUp(section, key, fileName)) return CopyOut(*value, out, size);
    // Trailing blanks of the default are dropped, as Windows drops them.
    std::string fallback(defaultValue == nullptr ? "" : defaultValue);
    while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t'))
        fallback.pop_back();
    SetLastError(ERROR_FILE_NOT_FOUND);
    return CopyOut(fallback, out, size);
}

// The value's leading decimal number, with an optional sign, after leading blanks; a value
// that does not start with one reads as 0, and a missing or empty value as the default.
UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
    if (section == nullptr || key == nullptr || fileName == nullptr)
        return static_cast<UINT>(defaultValue);
    std::optional<std::string> value;
    {
        std::lock_guard<std::mutex> lock(gProfileMutex);
        value = LookUp(section, key, fileName);
    }
    if (!value || value->empty()) return static_cast<UINT>(defaultValue);
    std::string_view text = Trim(*value);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    UINT number = 0;  // wraps modulo 2^32 on overlong input, like the unsigned result
    for (char c : text) {
        if (c < '0' || c > '9') break;
        number = number * 10u + static_cast<UINT>(c - '0');
    }
    return negative ? 0u - number : number;
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    // Windows flushes its cache when every argument is null; there is no cache here.
    if (section == nullptr && key == nullptr && value == nullptr && fileName == nullptr)
        return TRUE;
    if (section == nullptr || fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(gProfileMutex);
    std::string path = ProfilePath(fileName);
    ProfileFile file = Load(path);
    std::vector<SectionRange> sections = FindSections(file, section);

    if (key == nullptr) {
        if (sections.empty()) return TRUE;
        for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
            file.lines.erase(file.lines.begin() + static_cast<std::ptrdiff_t>(it->header),
                             file.lines.begin() + static_cast<std::ptrdiff_t>(it->end));
        }
        return Save(path, file);
    }
    if (value == nullptr) {
        bool removed = false;
        for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
            for (size_t i = it->end; i-- > it->header + 1;) {
                auto keyLine = KeyLineOf(file.lines[i]);
                if (keyLine && SameName(keyLine->key, key)) {
                    file.lines.erase(file.lines.begin() + static_cast<std::ptrdiff_t>(i));
                    removed = true;
                }
            }
        }
        return removed ? Save(path, file) : TRUE;
    }

    std::string trimmedKey(Trim(key));
    for (const SectionRange& range : sections) {
        if (auto line = FindKey(file, range, key)) {
            // The key keeps the spelling it has in the file.
            std::string existingKey(KeyLineOf(file.lines[*line])->key);
            file.lines[*line] = existingKey + "=" + value;
            return Save(path, file);
        }
    }
    if (!sections.empty()) {
        // A new key goes after the section's last non-blank line.
        const SectionRange& range = sections.front();
        size_t insertAt = range.header + 1;
        for (size_t i = range.header + 1; i < range.end; ++i) {
            if (!Trim(file.lines[i]).empty()) insertAt = i + 1;
        }
        file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                          trimmedKey + "=" + value);
        return Save(path, file);
    }
    if (!file.lines.empty() && !Trim(file.lines.back()).empty()) file.lines.emplace_back();
    file.lines.push_back("[" + std::string(Trim(section)) + "]");
    file.lines.push_back(trimmedKey + "=" + value);
    file.endsWithLineEnd = true;
    return Save(path, file);
}
