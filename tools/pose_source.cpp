#include "pose_source.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cache/mdd.h"
#include "mesh/obj_reader.h"
#include "cache/pc2.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

std::string lowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool isCache(const std::string& path) {
    const std::string extension = lowerExtension(path);
    return extension == ".mdd" || extension == ".pc2";
}

// Frames per second of OBJ sequences and of MDD times without a cache of
// their own to go by.
constexpr float framesPerSecond = 24.0f;

}  // namespace

FrameRange parseFrameRange(const std::string& text) {
    FrameRange range;
    range.given = true;
    const auto bad = [&] {
        return ToolError("--frames " + text + ": expected a frame range such as 1-100, 101- or 7");
    };
    const size_t dash = text.find('-');
    auto number = [&](const std::string& digits) {
        if (digits.empty() || digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); })) {
            throw bad();
        }
        return std::stoi(digits);
    };
    if (dash == std::string::npos) {
        range.first = range.last = number(text);
    } else {
        range.first = number(text.substr(0, dash));
        range.last = dash + 1 == text.size() ? 0 : number(text.substr(dash + 1));
    }
    if (range.first < 1 || (range.last != 0 && range.last < range.first)) throw bad();
    return range;
}

PoseSource::PoseSource(const std::vector<std::string>& inputs, const formats::ObjMesh& rest, const FrameRange& range)
    : rest_(rest) {
    size_t total = 0;
    const bool cache = std::any_of(inputs.begin(), inputs.end(), isCache);
    if (cache) {
        if (inputs.size() != 1) {
            throw ToolError("a point cache holds the whole shot: give it as the only --pose");
        }
        if (lowerExtension(inputs[0]) == ".mdd") {
            mdd_ = std::make_unique<formats::MddReader>(inputs[0], rest.points.size());
            total = mdd_->frameCount();
        } else {
            pc2_ = std::make_unique<formats::Pc2Reader>(inputs[0], rest.points.size());
            total = pc2_->frameCount();
        }
    } else {
        objs_ = inputs;
        total = inputs.size();
    }
    const size_t last = range.last == 0 ? total : static_cast<size_t>(range.last);
    if (static_cast<size_t>(range.first) > total || last > total) {
        throw ToolError("--frames " + std::to_string(range.first) + "-" + std::to_string(last) +
                        ": the poses have frames 1-" + std::to_string(total));
    }
    for (size_t number = static_cast<size_t>(range.first); number <= last; ++number) {
        numbers_.push_back(static_cast<int>(number));
    }
    sequence_ = range.given || mdd_ || pc2_ || objs_.size() > 1;
}

PoseSource::~PoseSource() = default;

std::string PoseSource::label(size_t i) const {
    if (!objs_.empty()) return std::filesystem::path(objs_[numbers_[i] - 1]).filename().string();
    return "frame " + std::to_string(numbers_[i]);
}

void PoseSource::read(size_t i, formats::MeshData& pose, formats::FileBytes& bytes) const {
    const size_t frame = static_cast<size_t>(numbers_[i] - 1);
    pose.path.clear();
    if (mdd_) {
        mdd_->readFrame(frame, pose.points);
    } else if (pc2_) {
        pc2_->readFrame(frame, pose.points);
    } else {
        pose.path = objs_[frame];
        formats::readObjPositions(pose.path, rest_, pose.points, bytes);
    }
}

std::vector<float> PoseSource::times() const {
    std::vector<float> times;
    for (size_t i = 0; i < count(); ++i) {
        const size_t frame = static_cast<size_t>(numbers_[i] - 1);
        if (mdd_) times.push_back(mdd_->frameTime(frame));
        else if (pc2_) times.push_back((pc2_->startFrame() + frame * pc2_->sampleRate()) / framesPerSecond);
        else times.push_back(static_cast<float>(frame) / framesPerSecond);
    }
    return times;
}

float PoseSource::startFrame() const {
    if (count() == 0) return 0.0f;
    const size_t first = static_cast<size_t>(numbers_[0] - 1);
    if (pc2_) return pc2_->startFrame() + first * pc2_->sampleRate();
    if (mdd_) return mdd_->frameTime(first) * framesPerSecond;
    return static_cast<float>(first);
}

float PoseSource::sampleRate() const {
    if (pc2_) return pc2_->sampleRate();
    if (mdd_ && count() > 1) {
        return (mdd_->frameTime(numbers_[1] - 1) - mdd_->frameTime(numbers_[0] - 1)) * framesPerSecond;
    }
    return 1.0f;
}

}  // namespace kestrin::tool
