// The numbered names of output files when one run writes a file per pose
// (their formats: formats/output_formats.h).
#ifndef KESTRIN_TOOL_OUTPUT_NAMES_H
#define KESTRIN_TOOL_OUTPUT_NAMES_H

#include <string>

namespace kestrin::tool {

// Whether the output is the whole shot in one page (formats/shot_page.h),
// never numbered.
bool isShotPage(const std::string& path);

// The file for pose `number` (1-based) of `count`. A printf-style integer
// field in the pattern ("out_%04d.csv") takes the number; otherwise a single
// pose keeps the pattern as it is and several get "_0001" before the
// extension ("out.csv" -> "out_0001.csv"). Throws ToolError for a pattern
// with any other % conversion or more than one field.
std::string numberedOutput(const std::string& pattern, int number, int count);

}  // namespace kestrin::tool

#endif
