// The poses of a run, in order: a list of OBJ files, or the frames of one
// point cache (.mdd, .pc2), optionally cut to a range of frames. Poses are
// read one at a time into the caller's buffer, from any thread, so that a
// shot of any length is never all in memory.
#ifndef KESTRIN_TOOL_POSE_SOURCE_H
#define KESTRIN_TOOL_POSE_SOURCE_H

#include <memory>
#include <string>
#include <vector>

#include "files/file_bytes.h"
#include "mesh/obj_reader.h"

namespace kestrin::formats {
class MddReader;
class Pc2Reader;
}  // namespace kestrin::formats

namespace kestrin::tool {

// A 1-based range of frames of the whole input ("--frames 101-200").
struct FrameRange {
    int first = 1;
    int last = 0;  // 0: to the end
    bool given = false;  // named by the user: the poses are a chunk of a shot
};
// Reads "A-B", "A-" or "A"; throws ToolError for anything else.
FrameRange parseFrameRange(const std::string& text);

class PoseSource {
public:
    // Opens the inputs and checks what can be checked before reading poses:
    // a cache's header and point count against the rest mesh, the range
    // against the number of frames. Throws ToolError.
    PoseSource(const std::vector<std::string>& inputs, const formats::ObjMesh& rest, const FrameRange& range);
    ~PoseSource();

    size_t count() const { return numbers_.size(); }
    // Whether the poses are frames of a sequence (several poses, a cache, or
    // a range of frames), whose outputs are numbered even for one frame.
    bool isSequence() const { return sequence_; }
    // Pose i's frame number within the whole input (1-based), which numbered
    // outputs carry, and its name in the table (its file, or "frame N").
    int number(size_t i) const { return numbers_[i]; }
    std::string label(size_t i) const;
    // Pose i into `pose`: its positions (as many as the rest mesh's points),
    // and for an OBJ pose the file's path, and its bytes, held in `bytes`.
    void read(size_t i, formats::MeshData& pose, formats::FileBytes& bytes) const;

    // Timing for point caches written from these poses: MDD frame times in
    // seconds; PC2 start frame and frames per sample. Carried over from an
    // input cache; OBJ poses are frame i at i/24 s, start 0, rate 1.
    std::vector<float> times() const;
    float startFrame() const;
    float sampleRate() const;

private:
    const formats::ObjMesh& rest_;
    std::vector<std::string> objs_;
    std::unique_ptr<formats::MddReader> mdd_;
    std::unique_ptr<formats::Pc2Reader> pc2_;
    std::vector<int> numbers_;
    bool sequence_ = false;
};

}  // namespace kestrin::tool

#endif
