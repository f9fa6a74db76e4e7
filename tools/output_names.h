// The numbered names of output files when one run writes a file per pose
// (their formats: formats/output_formats.h).
#ifndef KESTRIN_TOOL_OUTPUT_NAMES_H
#define KESTRIN_TOOL_OUTPUT_NAMES_H

#include <string>

namespace kestrin::tool {

// The file for pose `number` (1-based) of `count`. A run of '#' in the
// pattern takes the number padded with zeros to the run's length
// ("w_####.csv" -> "w_0007.csv", "w_#.csv" -> "w_7.csv"), and so does a
// printf-style integer field ("out_%04d.csv"); otherwise a single
// pose keeps the pattern as it is and several get "_0001" before the
// extension ("out.csv" -> "out_0001.csv"). Throws ToolError for a pattern
// with any other % conversion or more than one field.
std::string numberedOutput(const std::string& pattern, int number, int count);

}  // namespace kestrin::tool

#endif
