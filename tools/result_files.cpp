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
        pages_.emplace_back();
        // One page holds every pose.
        const bool page = isShotPage(pattern);
        formats_.push_back(page ? nullptr : &outputFormat(pattern, role));
        const int files = page ? 1 : poseCount_;
        for (int number = 1; number <= files; ++number) {
            const std::string name = numberedOutput(pattern, number, files);
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
        const std::string path = numberedOutput(patterns_[i], number, poseCount_);
        if (formats_[i] == nullptr) {
            addPageFrame(i, number, posed, weights, nullptr);
            continue;
        }
        const OutputFormat& format = *formats_[i];
        write(path, [&] { return format.weights(posed, weights, options_); });
    }
}

void ResultFiles::addPageFrame(size_t output, int number, const MeshData& pose,
                               const std::vector<float>& weights, const MeshData* corrected) {
    std::unique_ptr<ShotPage>& page = pages_[output];
    if (!page) {
        const std::string path = numberedOutput(patterns_[output], 1, 1);
        page = std::make_unique<ShotPage>(path, pose.polygons, pose.points.size(),
                                          corrected ? ShotKind::morph : ShotKind::weights);
    }
    page->addFrame(pose.points, weights, corrected ? &corrected->points : nullptr);
    if (number == poseCount_) {
        staged_.push_back(page->finishStaged());
        written_.push_back(numberedOutput(patterns_[output], 1, 1));
    }
}

void ResultFiles::writeMesh(int number, const MeshData& corrected, const MeshData* pose,
                            const std::vector<float>& weights) {
    for (size_t i = 0; i < patterns_.size(); ++i) {
        const std::string path = numberedOutput(patterns_[i], number, poseCount_);
        if (formats_[i] == nullptr) {
            addPageFrame(i, number, pose ? *pose : corrected, weights, &corrected);
            continue;
        }
        const OutputFormat& format = *formats_[i];
        write(path, [&] { return format.mesh(corrected, options_); });
    }
}

}  // namespace kestrin::tool
