// A progress bar on standard error for work that lasts over a second, drawn
// only when standard error is a terminal; otherwise the tool stays quiet.
#ifndef KESTRIN_TOOL_PROGRESS_H
#define KESTRIN_TOOL_PROGRESS_H

#include <chrono>
#include <string>

namespace kestrin::tool {

class Progress {
public:
    Progress(std::string label, int total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // One more step of `total` is done.
    void advance();

private:
    void draw();

    std::string label_;
    int total_;
    int done_ = 0;
    bool terminal_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace kestrin::tool

#endif
