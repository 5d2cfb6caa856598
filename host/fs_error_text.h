// How ftpsh names the module's FsError results: "error -151 (logon refused)".
#pragma once

#include <cstdint>
#include <string>

namespace ftpsh {

// A short description of the error number; socket failures (10000 minus a Winsock code)
// are named after the Winsock condition.
const char* FsErrorName(int32_t error);

// "error N (name)".
std::string DescribeFsError(int32_t error);

}  // namespace ftpsh
