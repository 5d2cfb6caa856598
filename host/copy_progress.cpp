// The progress line of a copy and the stop by Ctrl-C.
#include "host/copy_progress.h"

#include <cstdio>

#include "host/console.h"

namespace ftpsh {

namespace {

CopyProgress* gActive = nullptr;

// Often enough to look alive, seldom enough to cost nothing.
constexpr auto kShowEvery = std::chrono::milliseconds(200);

std::string Rate(double bytesPerSecond) {
    char text[32];
    if (bytesPerSecond >= 1024.0 * 1024.0) {
        std::snprintf(text, sizeof text, "%.1f MiB/s", bytesPerSecond / (1024.0 * 1024.0));
    } else {
        std::snprintf(text, sizeof text, "%.1f KiB/s", bytesPerSecond / 1024.0);
    }
    return text;
}

}  // namespace

CopyProgress::CopyProgress(std::string name, std::optional<long long> size)
    : name_(std::move(name)), size_(size), shown_(OutputIsTerminal()),
      start_(std::chrono::steady_clock::now()), lastShown_(start_ - kShowEvery) {
    gActive = this;
    // A Ctrl-C pressed before the copy began is no request to stop it.
    ClearInterrupts();
}

CopyProgress::~CopyProgress() {
    if (shown_ && total_ > 0) Show(true);
    gActive = nullptr;
}

LONG CALLBACK CopyProgress::Callback(DWORD, LONG code, LONG, LONG value) {
    CopyProgress* progress = gActive;
    if (progress == nullptr) return 0;
    if (TakeInterrupt()) progress->stopped_ = true;
    if (code == PROGRESS_CODE_TOTAL) progress->total_ = static_cast<uint32_t>(value);
    // The line moves on with the totals and, while the server keeps the copy waiting, with
    // the host's turns.
    const auto now = std::chrono::steady_clock::now();
    if (progress->shown_ && now - progress->lastShown_ >= kShowEvery) {
        progress->lastShown_ = now;
        progress->Show(false);
    }
    // A text download fetched in image type gives no turn of its own: its totals are where
    // a stop is heard.
    if (code == PROGRESS_CODE_TOTAL) return progress->stopped_ ? FSE_STOPPED : 0;
    return progress->stopped_ ? -1 : 0;
}

void CopyProgress::Show(bool last) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(total_) / seconds : 0;
    std::string line = "\r" + name_ + "  " + std::to_string(total_) + " bytes";
    if (size_ && *size_ > 0) {
        line += "  " + std::to_string(total_ * 100 / *size_) + "%";
    }
    line += "  " + Rate(rate);
    if (size_ && rate > 0 && *size_ > total_) {
        const long long left = static_cast<long long>(static_cast<double>(*size_ - total_) / rate);
        char text[32];
        std::snprintf(text, sizeof text, "  %lld:%02lld left", left / 60, left % 60);
        line += text;
    }
    // Blanks over the rest of an earlier, longer line.
    const size_t length = line.size();
    if (length < lastLength_) line += std::string(lastLength_ - length, ' ');
    lastLength_ = length;
    if (last) line += "\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace ftpsh
