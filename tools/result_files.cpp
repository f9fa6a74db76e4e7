#include "result_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <filesystem>
#include <map>

#include "files/atomic_file.h"
#include "commit.h"
#include "interrupt.h"
#include "output_names.h"
#include "page/shot_page.h"
#include "files/format_error.h"
#include "tool_error.h"

namespace kestrin::tool {

ResultFiles::ResultFiles(std::vector<std::string> patterns, formats::OutputRole role, const PoseSource& poses,
                         const formats::ObjMesh& rest, bool binaryPly, const std::vector<RunInput>& inputs,
                         const std::vector<std::string>& extra, bool texturePositions, const WeightSets& sets)
    : role_(role), sets_(sets), poseCount_(poses.count()), sequence_(poses.isSequence()), firstNumber_(poses.number(0)) {
    // From here on an interrupt removes what the run has written.
    installInterruptHandlers();
    options_.binaryPly = binaryPly;
    std::vector<std::string> names;
    std::map<std::string, std::string> writer;  // each name, and the option that writes it
    auto add = [&](const std::string& name, const std::string& option) {
        const auto [first, added] = writer.emplace(name, option);
        if (!added) {
            throw ToolError(name + ": more than one output would be written to this file (" +
                            (first->second == option ? option + " is given twice"
                                                     : "by " + first->second + " and by " + option) +
                            ")");
        }
        names.push_back(name);
    };
    for (const std::string& pattern : patterns) {
        Output output;
        output.pattern = pattern;
        output.format = &formats::outputFormat(pattern, role);
        output.wholeShot = output.format->wholeShot(role);
        if (output.wholeShot) {
            add(numberedOutput(pattern, firstNumber_, false), "-o " + pattern);
        } else {
            for (size_t i = 0; i < poseCount_; ++i) {
                add(numberedOutput(pattern, poses.number(i), poses.isSequence()), "-o " + pattern);
            }
        }
        outputs_.push_back(std::move(output));
    }
    for (const std::string& name : extra) add(name, "--save-settings " + name);
    targets_ = planOutputs(names, inputs);
    for (size_t i = 0; i < targets_.size(); ++i) targetIndex_[targets_[i].name] = i;

    // Pictures of a sequence share one framing, fitted to every pose, so that
    // they play as a steady flipbook: a pass over the poses first, reading
    // only (drawing them costs far more).
    const bool pictures = std::any_of(outputs_.begin(), outputs_.end(), [](const Output& o) {
        return std::string(o.format->extension) == ".png";
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
    const formats::ShotLayout layout{rest, poseCount_, poses.times(), poses.frames(), texturePositions, &rest.uvs,
                                     sets.names};
    for (Output& output : outputs_) {
        if (!output.wholeShot) continue;
        const std::string name = numberedOutput(output.pattern, firstNumber_, false);
        const formats::ShotWriterFactory open =
            role == formats::OutputRole::weights ? output.format->weightsShot : output.format->meshShot;
        output.shot = open(target(name).path, layout);
        if (std::string(output.format->extension) == ".html") {
            const formats::ShotKind kind =
                role == formats::OutputRole::weights ? formats::ShotKind::weights : formats::ShotKind::morph;
            const std::string warning = formats::pageSizeWarning(name, layout, kind);
            if (!warning.empty()) std::fprintf(stderr, "kestrin: warning: %s\n", warning.c_str());
        }
    }
}

ResultFiles::~ResultFiles() {
    if (committed_) return;
    std::vector<std::string> temporaries;
    for (const auto& [temporary, target] : staged_) temporaries.push_back(temporary);
    formats::removeTemporaries(temporaries);
}

bool ResultFiles::rewritesPoseFiles() const {
    return std::any_of(outputs_.begin(), outputs_.end(),
                       [](const Output& o) { return !o.wholeShot && o.format->rewritesPoseFile; });
}

bool ResultFiles::writesPoseFiles() const {
    return std::any_of(outputs_.begin(), outputs_.end(), [](const Output& o) { return !o.wholeShot; });
}

const OutputTarget& ResultFiles::target(const std::string& name) const {
    return targets_[targetIndex_.at(name)];
}

void ResultFiles::stage(const std::string& temporary, const std::string& name) {
    const OutputTarget* planned = &target(name);
    std::lock_guard<std::mutex> lock(mutex_);
    staged_.emplace_back(temporary, planned);
}

const std::vector<float>* ResultFiles::weightsOf(const PoseResult& result) const {
    return result.measures != nullptr ? &(*result.measures)[sets_.one] : result.weights;
}

void ResultFiles::writePoseFiles(const PoseResult& result) {
    // Pictures of a sequence say which frame they show, as their names do.
    formats::OutputOptions options = options_;
    if (sequence_) options.caption = "frame " + std::to_string(result.number);
    for (const Output& output : outputs_) {
        if (output.wholeShot) continue;
        const std::string name = numberedOutput(output.pattern, result.number, sequence_);
        auto write = [&](formats::ByteSink& out) {
            try {
                if (role_ == formats::OutputRole::weights) {
                    output.format->weights(result.pose, *weightsOf(result), options, out);
                } else {
                    output.format->mesh(*result.corrected, result.poseText, options, out);
                }
            } catch (const formats::FormatError& error) {
                throw ToolError(name + ": " + error.what());
            }
        };
        // Written as it is made: a per-pose file is never whole in memory.
        stage(formats::writeTemporaryWith(target(name).path, write), name);
    }
}

void ResultFiles::requireWeightBound(double bound) const {
    for (const Output& output : outputs_) {
        if (bound <= output.format->largestWeight) continue;
        char figure[32];
        std::snprintf(figure, sizeof figure, "%g", bound);
        throw ToolError(numberedOutput(output.pattern, firstNumber_, false) +
                        (std::isinf(bound) ? std::string(": weights have no bound")
                                           : ": weights may reach " + std::string(figure)) +
                        " with these settings (clamp off), beyond the " +
                        std::to_string(static_cast<int>(output.format->largestWeight)) +
                        " this format holds; turn --clamp on, or lower the multipliers or the exponent"
                        " (a negative exponent has no bound)");
    }
}

void ResultFiles::writeExtra(const std::string& name, const std::string& bytes) {
    stage(formats::writeTemporaryFor(target(name).path, bytes), name);
}

void ResultFiles::appendToShot(const PoseResult& result) {
    for (Output& output : outputs_) {
        if (!output.shot) continue;
        output.shot->append({result.number, result.pose, weightsOf(result), result.corrected,
                             sets_.names.empty() ? nullptr : result.measures});
        if (result.index + 1 == poseCount_) {
            stage(output.shot->finishStaged(), numberedOutput(output.pattern, firstNumber_, false));
        }
    }
}

void ResultFiles::commit() {
    std::vector<StagedFile> files;
    for (const auto& [temporary, target] : staged_) files.push_back({temporary, target->path});
    // Whatever happens, the temporaries are the commit's to remove.
    committed_ = true;
    commitOutputs(files);
    staged_.clear();
}

}  // namespace kestrin::tool
