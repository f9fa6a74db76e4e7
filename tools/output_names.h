// Output files: their kind, chosen by extension, and their numbered names
// when one run writes a file per pose.
#ifndef KESTRIN_TOOL_OUTPUT_NAMES_H
#define KESTRIN_TOOL_OUTPUT_NAMES_H

#include <string>
#include <vector>

namespace kestrin::tool {

// html: the whole shot in one page (formats/shot_page.h), never numbered.
enum class OutputKind { csv, ply, png, obj, html };

// The kind named by the path's extension (case-insensitive); throws ToolError
// for any other extension, listing the allowed ones.
OutputKind outputKind(const std::string& path, const std::vector<OutputKind>& allowed);

// The file for pose `number` (1-based) of `count`. A printf-style integer
// field in the pattern ("out_%04d.csv") takes the number; otherwise a single
// pose keeps the pattern as it is and several get "_0001" before the
// extension ("out.csv" -> "out_0001.csv"). Throws ToolError for a pattern
// with any other % conversion or more than one field.
std::string numberedOutput(const std::string& pattern, int number, int count);

}  // namespace kestrin::tool

#endif
