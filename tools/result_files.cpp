#include "result_files.h"

#include <cstdio>
#include <set>

#include "atomic_file.h"
#include "heat_map_image.h"
#include "mesh_writers.h"
#include "tool_error.h"

namespace kestrin::tool {

ResultFiles::ResultFiles(std::vector<std::string> patterns, const std::vector<OutputKind>& allowed,
                         int poseCount, bool binaryPly)
    : patterns_(std::move(patterns)), poseCount_(poseCount), binaryPly_(binaryPly) {
    std::set<std::string> names;
    for (const std::string& pattern : patterns_) {
        kinds_.push_back(outputKind(pattern, allowed));
        pages_.emplace_back();
        // One page holds every pose.
        const int files = kinds_.back() == OutputKind::html ? 1 : poseCount_;
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
void ResultFiles::write(const std::string& path, const std::string& bytes) {
    staged_.push_back(writeTemporaryFor(path, bytes));
    written_.push_back(path);
}

void ResultFiles::writeWeights(int number, const MeshData& posed, const std::vector<float>& weights) {
    for (size_t i = 0; i < patterns_.size(); ++i) {
        const std::string path = numberedOutput(patterns_[i], number, poseCount_);
        switch (kinds_[i]) {
            case OutputKind::csv: write(path, weightsCsv(weights)); break;
            case OutputKind::ply: write(path, weightsPly(posed, weights, binaryPly_)); break;
            case OutputKind::png: write(path, encodePng(renderHeatMap(posed, weights))); break;
            case OutputKind::obj: write(path, meshObj(posed)); break;
            case OutputKind::html: addPageFrame(i, number, posed, weights, nullptr); break;
        }
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
        if (kinds_[i] == OutputKind::html) {
            addPageFrame(i, number, pose ? *pose : corrected, weights, &corrected);
        } else if (kinds_[i] == OutputKind::ply) {
            write(path, meshPly(corrected, binaryPly_));
        } else {
            write(path, meshObj(corrected));
        }
    }
}

}  // namespace kestrin::tool
