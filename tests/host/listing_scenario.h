// The listing scenario ftpsh runs against real servers, on Linux and under Wine: ls of the
// sample tree's root and of empty/, the server's line for lf.txt, and the attributes of dir
// and lf.txt, and the check of what ftpsh printed for them.
#pragma once

#include <string>

namespace ftpsh_test {

// The commands after the open; each "pwd" prints "/", which parts the output.
constexpr const char* kListingScenario =
    "; ls; pwd; ls empty; pwd; info lf.txt; attr dir; attr lf.txt";

// Checks ftpsh's output of the scenario against the sample tree at `root` on disk, listed
// from LIST lines (`parsed`) or from name lists. "." and ".." never show, also where the
// server's name lists hold them.
void CheckListingScenario(const std::string& out, const std::string& root, bool parsed);

}  // namespace ftpsh_test
