#include "result_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>

#include "atomic_file.h"
#include "mdd.h"
#include "npy_writer.h"
#include "pc2.h"
#include "interrupt.h"
#include "output_names.h"
#include "shot_page.h"
#include "format_error.h"
#include "tool_error.h"

namespace kestrin::tool {

// A file that holds every pose of the run, appended to in pose order.
class ShotOutput {
public:
    virtual ~ShotOutput() = default;
    virtual void append(const PoseResult& result) = 0;
    // Completes the file under its temporary name and returns that name.
    virtual std::string finishStaged() = 0;
};

namespace {

std::string lowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

class PageOutput : public ShotOutput {
public:
    PageOutput(const std::string& path, const formats::MeshData& rest, formats::OutputRole role)
        : page_(path, rest.polygons, rest.points.size(),
                role == formats::OutputRole::mesh ? formats::ShotKind::morph : formats::ShotKind::weights) {}
    void append(const PoseResult& result) override {
        static const std::vector<float> none;
        page_.addFrame(result.pose.points, result.weights != nullptr ? *result.weights : none,
                       result.corrected != nullptr ? &result.corrected->points : nullptr);
    }
    std::string finishStaged() override { return page_.finishStaged(); }

private:
    formats::ShotPage page_;
};

class NpyOutput : public ShotOutput {
public:
    NpyOutput(const std::string& path, size_t poses, size_t points) : writer_(path, poses, points) {}
    void append(const PoseResult& result) override { writer_.appendRow(result.weights->data()); }
    std::string finishStaged() override { return writer_.finishStaged(); }

private:
    formats::NpyWriter writer_;
};

class MddOutput : public ShotOutput {
public:
    MddOutput(const std::string& path, size_t points, const std::vector<float>& times)
        : writer_(path, points, times) {}
    void append(const PoseResult& result) override { writer_.appendFrame(result.corrected->points.data()); }
    std::string finishStaged() override { return writer_.finishStaged(); }

private:
    formats::MddWriter writer_;
};

class Pc2Output : public ShotOutput {
public:
    Pc2Output(const std::string& path, size_t points, size_t frames, float start, float rate)
        : writer_(path, points, frames, start, rate) {}
    void append(const PoseResult& result) override { writer_.appendFrame(result.corrected->points.data()); }
    std::string finishStaged() override { return writer_.finishStaged(); }

private:
    formats::Pc2Writer writer_;
};

// The whole-shot formats, by extension, for each role.
bool isShotFile(const std::string& pattern, formats::OutputRole role) {
    const std::string extension = lowerExtension(pattern);
    if (extension == ".html") return true;
    if (role == formats::OutputRole::weights) return extension == ".npy";
    return extension == ".mdd" || extension == ".pc2";
}

std::unique_ptr<ShotOutput> openShotFile(const std::string& path, formats::OutputRole role, const PoseSource& poses,
                                         const formats::MeshData& rest) {
    const std::string extension = lowerExtension(path);
    const size_t points = rest.points.size();
    if (extension == ".html") return std::make_unique<PageOutput>(path, rest, role);
    if (extension == ".npy") return std::make_unique<NpyOutput>(path, poses.count(), points);
    if (extension == ".mdd") return std::make_unique<MddOutput>(path, points, poses.times());
    return std::make_unique<Pc2Output>(path, points, poses.count(), poses.startFrame(), poses.sampleRate());
}

}  // namespace

ResultFiles::ResultFiles(std::vector<std::string> patterns, formats::OutputRole role, const PoseSource& poses,
                         const formats::MeshData& rest, bool binaryPly, const std::vector<RunInput>& inputs,
                         const std::vector<std::string>& extra)
    : role_(role), poseCount_(poses.count()) {
    // From here on an interrupt removes what the run has written.
    installInterruptHandlers();
    options_.binaryPly = binaryPly;
    std::vector<std::string> names;
    std::set<std::string> seen;
    auto add = [&](const std::string& name) {
        if (!seen.insert(name).second) {
            throw ToolError(name + ": more than one output would be written to this file "
                                   "(put %04d in the name for one file per pose)");
        }
        names.push_back(name);
    };
    for (const std::string& pattern : patterns) {
        Output output;
        output.pattern = pattern;
        if (isShotFile(pattern, role)) {
            output.format = nullptr;
            add(numberedOutput(pattern, 1, 1));
        } else {
            output.format = &outputFormat(pattern, role);
            for (size_t i = 0; i < poseCount_; ++i) add(numberedOutput(pattern, poses.number(i), poseCount_));
        }
        outputs_.push_back(std::move(output));
    }
    for (const std::string& name : extra) add(name);
    targets_ = planOutputs(names, inputs);
    for (size_t i = 0; i < targets_.size(); ++i) targetIndex_[targets_[i].name] = i;

    // Pictures of a sequence share one framing, fitted to every pose, so that
    // they play as a steady flipbook: a pass over the poses first, reading
    // only (drawing them costs far more).
    const bool pictures = std::any_of(outputs_.begin(), outputs_.end(), [](const Output& o) {
        return o.format != nullptr && std::string(o.format->extension) == ".png";
    });
    if (pictures && poseCount_ > 1) {
        pictureFrame_ = std::make_unique<formats::HeatMapFrame>();
        formats::MeshData pose;
        pose.polygons = rest.polygons;
        formats::FileBytes bytes;
        for (size_t i = 0; i < poseCount_; ++i) {
            poses.read(i, pose, bytes);
            widenFrame(*pictureFrame_, formats::heatMapFrame(pose));
        }
        options_.pictureFrame = pictureFrame_.get();
    }

    // The whole-shot files start now: their headers need only the counts.
    for (Output& output : outputs_) {
        if (output.format != nullptr) continue;
        const std::string name = numberedOutput(output.pattern, 1, 1);
        output.shot = openShotFile(target(name).path, role, poses, rest);
    }
}

ResultFiles::~ResultFiles() {
    if (committed_) return;
    for (const auto& [temporary, target] : staged_) formats::removeTemporary(temporary);
}

bool ResultFiles::rewritesPoseFiles() const {
    return std::any_of(outputs_.begin(), outputs_.end(),
                       [](const Output& o) { return o.format != nullptr && o.format->rewritesPoseFile; });
}

bool ResultFiles::hasPoseFiles() const {
    return std::any_of(outputs_.begin(), outputs_.end(), [](const Output& o) { return o.format != nullptr; });
}

const OutputTarget& ResultFiles::target(const std::string& name) const {
    return targets_[targetIndex_.at(name)];
}

void ResultFiles::stage(const std::string& temporary, const std::string& name) {
    const OutputTarget* planned = &target(name);
    std::lock_guard<std::mutex> lock(mutex_);
    staged_.emplace_back(temporary, planned);
}

void ResultFiles::writePoseFiles(const PoseResult& result) {
    for (const Output& output : outputs_) {
        if (output.format == nullptr) continue;
        const std::string name = numberedOutput(output.pattern, result.number, poseCount_);
        std::string bytes;
        try {
            bytes = role_ == formats::OutputRole::weights ? output.format->weights(result.pose, *result.weights, options_)
                                                 : output.format->mesh(*result.corrected, options_);
        } catch (const formats::FormatError& error) {
            throw ToolError(name + ": " + error.what());
        }
        stage(formats::writeTemporaryFor(target(name).path, bytes), name);
    }
}

void ResultFiles::writeExtra(const std::string& name, const std::string& bytes) {
    stage(formats::writeTemporaryFor(target(name).path, bytes), name);
}

void ResultFiles::appendToShot(const PoseResult& result) {
    for (Output& output : outputs_) {
        if (!output.shot) continue;
        output.shot->append(result);
        if (result.index + 1 == poseCount_) {
            stage(output.shot->finishStaged(), numberedOutput(output.pattern, 1, 1));
        }
    }
}

void ResultFiles::commit() {
    InterruptsHeld held;
    for (const auto& [temporary, target] : staged_) {
        // A replaced file keeps the permissions the user gave it.
        if (target->exists) chmod(temporary.c_str(), target->mode);
        formats::renameIntoPlace(temporary, target->path);
    }
    staged_.clear();
    committed_ = true;
}

}  // namespace kestrin::tool
