#include "result_files.h"

#include <cstdio>
#include <set>

#include "atomic_file.h"
#include "output_names.h"
#include "tool_error.h"

namespace kestrin::tool {

ResultFiles::ResultFiles(std::vector<std::string> patterns, OutputRole role, int poseCount,
                         bool binaryPly)
    : patterns_(std::move(patterns)), poseCount_(poseCount) {
    options_.binaryPly = binaryPly;
    std::set<std::string> names;
    for (const std::string& pattern : patterns_) {
        formats_.push_back(&outputFormat(pattern, role));
        for (int number = 1; number <= poseCount_; ++number) {
            const std::string name = numberedOutput(pattern, number, poseCount_);
            if (!names.insert(name).second) {
                throw ToolError(name + ": more than one output would be written to this file "
                                       "(put %04d in the name for one file per pose)");
            }
        }
    }
}

ResultFiles::~ResultFiles() {
    if (committed_) return;
    for (const std::string& temporary : staged_) std::remove(temporary.c_str());
}

void ResultFiles::commit() {
    for (size_t i = 0; i < staged_.size(); ++i) renameIntoPlace(staged_[i], written_[i]);
    staged_.clear();
    committed_ = true;
}

// Each file is complete under its temporary name before the next is made; the
// renames wait for commit(), so a run that fails on a later pose or output
// leaves the user's earlier files untouched.
template <typename Encode>
void ResultFiles::write(const std::string& path, Encode encode) {
    std::string bytes;
    try {
        bytes = encode();
    } catch (const ToolError& error) {
        throw ToolError(path + ": " + error.what());
    }
    staged_.push_back(writeTemporaryFor(path, bytes));
    written_.push_back(path);
}

void ResultFiles::writeWeights(int number, const MeshData& posed, const std::vector<float>& weights) {
    for (size_t i = 0; i < patterns_.size(); ++i) {
        const OutputFormat& format = *formats_[i];
        write(numberedOutput(patterns_[i], number, poseCount_),
              [&] { return format.weights(posed, weights, options_); });
    }
}

void ResultFiles::writeMesh(int number, const MeshData& corrected) {
    for (size_t i = 0; i < patterns_.size(); ++i) {
        const OutputFormat& format = *formats_[i];
        write(numberedOutput(patterns_[i], number, poseCount_),
              [&] { return format.mesh(corrected, options_); });
    }
}

}  // namespace kestrin::tool
