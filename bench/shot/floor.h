// The least any program can do with a shot's bytes, on one thread: read
// each OBJ file into one reused buffer, parse its `v` and `f` lines with
// fast_float, and write what the tool writes for each pose. Every buffer is
// reused from file to file, so that a floor pays for its memory once, as a
// tight program would. Nothing is flushed to storage (the tool flushes every
// output): what a floor leaves to write back is written before the next run
// starts. The shot bench and the scaling figures time the tool against these.
#pragma once

#include <string>
#include <vector>

namespace kestrin::bench {

// rest, then poses: each pose's weights as CSV ("point,weight", the tool's
// number format), one file per pose in `folder`.
void weightsFloor(const std::string& rest, const std::vector<std::string>& poses, const std::string& folder);

// rest, then poses: each pose as an OBJ file of its points and faces (`v`
// lines with the shortest text that reads back as the same double, as the
// tool writes a corrected pose; `f` lines), one per pose in `folder`.
void morphFloor(const std::string& rest, const std::vector<std::string>& poses, const std::string& folder);

}  // namespace kestrin::bench
