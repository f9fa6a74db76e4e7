#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace kestrin::tool {

Progress::Progress(std::string label, int total)
    : label_(std::move(label)), total_(total), terminal_(isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

Progress::~Progress() {
    if (drawn_) std::fprintf(stderr, "\r\033[K");
}

void Progress::advance() {
    ++done_;
    if (!terminal_) return;
    const auto now = std::chrono::steady_clock::now();
    // Short work never shows a bar; long work redraws a few times a second.
    if (now - start_ < std::chrono::seconds(1)) return;
    if (drawn_ && now - lastDraw_ < std::chrono::milliseconds(100) && done_ < total_) return;
    lastDraw_ = now;
    draw();
}

void Progress::draw() {
    constexpr int width = 30;
    const int filled = total_ > 0 ? width * done_ / total_ : width;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(width, '.');
    std::fprintf(stderr, "\r%s [%s] %d/%d", label_.c_str(), bar.c_str(), done_, total_);
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace kestrin::tool
