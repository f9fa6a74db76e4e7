// The numbered names of output files when one run writes a file per pose
// (their formats: formats/output_formats.h).
#ifndef KESTRIN_TOOL_OUTPUT_NAMES_H
#define KESTRIN_TOOL_OUTPUT_NAMES_H

#include <string>

namespace kestrin::tool {

// The file for pose `number` (1-based) of the run's poses. A run of '#' in the
// pattern takes the number padded with zeros to the run's length
// ("w_####.csv" -> "w_0007.csv", "w_#.csv" -> "w_7.csv"), and so does a
// printf-style integer field ("out_%04d.csv", "%40d"); otherwise the poses
// of a `sequence` (several poses, a cache, a --frames range: a chunk of a
// shot, one frame included) get "_0001" before the extension ("out.csv" ->
// "out_0001.csv") and a lone pose keeps the pattern as it is. Throws
// ToolError for a pattern with any other % conversion, more than one field,
// or a field wider than a file name can be.
std::string numberedOutput(const std::string& pattern, int number, bool sequence);

}  // namespace kestrin::tool

#endif
