// The host's side of a copy's callback: on a terminal a progress line (bytes so far, the
// percentage where the file's size is known, the rate and the time left), and Ctrl-C, which
// stops the copy at its next turn.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "records/tarvoftp.h"

namespace ftpsh {

// One copy's progress; its callback is the copy record's. One copy runs at a time.
class CopyProgress {
public:
    // `name` heads the line; `size` is the file's size where it is known. The line is shown
    // only where standard output is a terminal.
    CopyProgress(std::string name, std::optional<long long> size);
    ~CopyProgress();
    CopyProgress(const CopyProgress&) = delete;
    CopyProgress& operator=(const CopyProgress&) = delete;

    // The callback of the copy record: each total told (code 2), and the host's turn
    // (code 6), which answers a Ctrl-C with a stop.
    static LONG CALLBACK Callback(DWORD cookie, LONG code, LONG zero, LONG value);
    // Whether the user stopped the copy with Ctrl-C.
    bool stopped() const { return stopped_; }

private:
    void Show(bool last);

    std::string name_;
    std::optional<long long> size_;
    bool shown_;
    bool stopped_ = false;
    long long total_ = 0;
    size_t lastLength_ = 0;
    std::chrono::steady_clock::time_point start_, lastShown_;
};

}  // namespace ftpsh
