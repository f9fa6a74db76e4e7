#include "pose_source.h"

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <set>

#include "cache/mdd.h"
#include "cache/pc2.h"
#include "files/extension.h"
#include "files/foreign_formats.h"
#include "mesh/obj_reader.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

bool isCache(const std::string& path) {
    const std::string extension = formats::lowerExtension(path);
    return extension == ".mdd" || extension == ".pc2";
}

// A copy of the input when it can be read only once (a pipe), else -1:
// pictures read every pose twice, to frame them all alike, and a cache is
// read at offsets.
int copyOfPipe(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)) return -1;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return -1;  // reported by the read, with the reason
    try {
        const int copy = formats::copyToUnnamedFile(descriptor, path);
        ::close(descriptor);
        return copy;
    } catch (...) {
        ::close(descriptor);
        throw;
    }
}

// Frames per second of MDD times, which count seconds, when frames are
// wanted from them or they from frames.
constexpr double framesPerSecond = 24.0;

// The frame number a pose file's name carries: the last run of digits in
// the name, its extension left out ("arm30.obj" -> 30, "arm_0007.obj" ->
// 7); -1 for none, or a run too long to be a frame. A pipe's name
// ("/dev/fd/63") numbers no frame: only regular files are numbered.
int numberInName(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    const std::string name = std::filesystem::path(path).stem().string();
    const size_t end = name.find_last_of("0123456789");
    if (end == std::string::npos) return -1;
    size_t start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1]))) --start;
    const std::string digits = name.substr(start, end + 1 - start);
    const size_t first = std::min(digits.find_first_not_of('0'), digits.size() - 1);
    if (digits.size() - first > 9) return -1;
    return std::stoi(digits.substr(first));
}

// The whole frame a time in seconds was written for, when the time is
// that frame's to a float's precision; else the fraction of a frame it is.
double frameAt(float seconds) {
    const double frame = static_cast<double>(seconds) * framesPerSecond;
    const double whole = std::round(frame);
    const double step = std::nextafter(std::fabs(seconds), INFINITY) - std::fabs(seconds);
    return std::fabs(frame - whole) <= framesPerSecond * step ? whole : frame;
}

std::string frameSpan(int first, int last) {
    return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}

}  // namespace

FrameRange parseFrameRange(const std::string& text) {
    FrameRange range;
    range.given = true;
    const auto bad = [&](const char* why) {
        return ToolError("--frames '" + text + "': " + why + "; expected a range of frames such as 1-100, 101- or 7");
    };
    if (text.empty()) throw bad("empty");
    auto number = [&](const std::string& digits) {
        if (digits.empty() || digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); })) {
            throw bad("not a range of frame numbers");
        }
        return std::stoi(digits);
    };
    const size_t dash = text.find('-');
    range.first = number(text.substr(0, dash));
    range.toEnd = dash != std::string::npos && dash + 1 == text.size();
    range.last = dash == std::string::npos ? range.first : range.toEnd ? 0 : number(text.substr(dash + 1));
    if (!range.toEnd && range.last < range.first) throw bad("the last frame is before the first");
    return range;
}

PoseSource::PoseSource(const std::vector<std::string>& inputs, formats::ObjMesh& rest, const FrameRange& range)
    : rest_(rest) {
    try {
        open(inputs, range);
    } catch (...) {
        closeCopies();  // no destructor runs for a constructor that throws
        throw;
    }
    if (fromCache()) rest.tail.reset();
}

void PoseSource::open(const std::vector<std::string>& inputs, const FrameRange& range) {
    std::vector<int> available;  // every frame number, in frame order
    if (std::any_of(inputs.begin(), inputs.end(), isCache) && inputs.size() != 1) {
        throw ToolError("a point cache holds the whole shot: give it as the only --pose");
    }
    for (const std::string& path : inputs) {
        if (!isCache(path)) formats::refuseForeignFormat(path);
        files_.push_back({path, numberInName(path), copyOfPipe(path)});
    }
    // A cache by its name, or, from a pipe, by its bytes.
    const PoseFile& only = files_.front();
    const std::string extension = formats::lowerExtension(only.path);
    const bool pipe = files_.size() == 1 && only.copy >= 0 && !isCache(only.path);
    const size_t points = rest_.points.size();
    if (extension == ".mdd" || (pipe && formats::holdsMdd(only.copy, points))) {
        mdd_ = std::make_unique<formats::MddReader>(only.path, points, only.copy);
    } else if (extension == ".pc2" || (pipe && formats::holdsPc2(only.copy))) {
        pc2_ = std::make_unique<formats::Pc2Reader>(only.path, points, only.copy);
    }
    if (mdd_ || pc2_) {
        cachePath_ = only.path;
        closeCopies();  // the reader holds a copy of its own
        files_.clear();
        const size_t total = mdd_ ? mdd_->frameCount() : pc2_->frameCount();
        if (total == 0) throw ToolError(cachePath_ + ": the cache holds no frames");
        for (size_t frame = 0; frame < total; ++frame) available.push_back(static_cast<int>(frame + 1));
    } else {
        std::set<int> numbers;
        for (const PoseFile& file : files_) {
            if (file.number >= 0) numbers.insert(file.number);
        }
        if (numbers.size() == files_.size()) {
            std::stable_sort(files_.begin(), files_.end(),
                             [](const PoseFile& a, const PoseFile& b) { return a.number < b.number; });
        } else {
            for (size_t i = 0; i < files_.size(); ++i) files_[i].number = static_cast<int>(i + 1);
        }
        for (const PoseFile& file : files_) available.push_back(file.number);
    }
    const int lowest = available.front(), highest = available.back();
    if (range.given && (range.first < lowest || range.first > highest || (!range.toEnd && range.last > highest))) {
        throw ToolError("--frames " + frameSpan(range.first, range.toEnd ? highest : range.last) +
                        ": the poses have frames " + frameSpan(lowest, highest));
    }
    for (size_t i = 0; i < available.size(); ++i) {
        if (range.given && (available[i] < range.first || (!range.toEnd && available[i] > range.last))) continue;
        chosen_.push_back(i);
        numbers_.push_back(available[i]);
    }
    if (chosen_.empty()) {
        throw ToolError("--frames " + frameSpan(range.first, range.last) + ": no pose has a frame number in it");
    }
    sequence_ = range.given || mdd_ || pc2_ || files_.size() > 1;
}

PoseSource::~PoseSource() { closeCopies(); }

void PoseSource::closeCopies() {
    for (PoseFile& file : files_) {
        if (file.copy >= 0) ::close(file.copy);
        file.copy = -1;
    }
}

std::string PoseSource::label(size_t i) const {
    return std::filesystem::path(files_.empty() ? cachePath_ : files_[chosen_[i]].path).filename().string();
}

void PoseSource::read(size_t i, formats::MeshData& pose, formats::FileBytes& bytes) const {
    pose.path.clear();
    if (mdd_) {
        mdd_->readFrame(chosen_[i], pose.points);
    } else if (pc2_) {
        pc2_->readFrame(chosen_[i], pose.points);
    } else {
        const PoseFile& file = files_[chosen_[i]];
        pose.path = file.path;
        if (file.copy < 0) {
            formats::readObjPositions(pose.path, rest_, pose.points, bytes);
        } else {
            bytes.read(file.copy, file.path, "an OBJ file");
            formats::readObjPositions(pose.path, bytes.text(), rest_, pose.points);
        }
    }
}

std::vector<float> PoseSource::times() const {
    std::vector<float> times;
    const std::vector<double> frames = this->frames();
    for (size_t i = 0; i < count(); ++i) {
        times.push_back(mdd_ ? mdd_->frameTime(chosen_[i]) : static_cast<float>(frames[i] / framesPerSecond));
    }
    return times;
}

std::vector<double> PoseSource::frames() const {
    std::vector<double> frames;
    for (size_t i = 0; i < count(); ++i) {
        if (pc2_) {
            frames.push_back(pc2_->startFrame() + static_cast<double>(chosen_[i]) * pc2_->sampleRate());
        } else if (mdd_) {
            frames.push_back(frameAt(mdd_->frameTime(chosen_[i])));
        } else {
            frames.push_back(numbers_[i]);
        }
    }
    return frames;
}

}  // namespace kestrin::tool
