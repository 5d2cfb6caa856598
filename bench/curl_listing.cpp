// Runs curl as the listing benchmark's yardstick (see curl_listing.h).
#include "bench/curl_listing.h"

#include "bench/curl_transfer.h"

#include <unistd.h>

namespace tvbench {

std::string CurlPath() {
    for (const char* path : {"/usr/bin/curl", "/usr/local/bin/curl"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return "";
}

bool CurlListsDirectory(const std::string& host, uint16_t port, const std::string& user,
                        const std::string& password, const std::string& folder,
                        double* transferSeconds) {
    // A directory address, which curl fetches with LIST; one run, its bytes thrown away.
    CurlRun run;
    if (!CurlDownloads({{CurlAddress(host, port, user, password, folder + "/"), "/dev/null"}},
                       {"--max-time", "120"}, &run)) {
        return false;
    }
    *transferSeconds = run.transferSeconds;
    return true;
}

}  // namespace tvbench
