// A folder of the test's own under /tmp for files the code under test reads and writes
// (settings files, local files of a copy), removed with its content at the end; and the
// whole content of a file, so that tests compare what was written byte for byte.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tvtest {

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/tarvo-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadFile(const std::string& path) {
    // In one piece: the fault table reads back files of megabytes inside calls whose
    // processor time it measures, and a byte-by-byte read costs that much under the
    // sanitizers.
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace tvtest
