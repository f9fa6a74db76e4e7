// The poses of a run, in order: a list of OBJ files, or the frames of one
// point cache (.mdd, .pc2), optionally cut to a range of frames. Each pose
// has a frame number, the shot's own, which numbered outputs, pages and
// caches carry: a cache's frames count from 1; OBJ files whose names all
// carry a number (the last run of digits in the name, as image-sequence
// tools read "arm0.obj" ... "arm30.obj"), each a different one, are taken in
// that number's order and numbered by it; any other list keeps its order,
// numbered from 1. Poses are read one at a time into the caller's buffer,
// from any thread, so that a shot of any length is never all in memory.
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

// A range of the poses' frame numbers ("--frames 101-200"): every pose whose
// number is in it.
struct FrameRange {
    int first = 0;
    int last = 0;
    bool toEnd = true;   // "A-": from first to the last frame
    bool given = false;  // named by the user: the poses are a chunk of a shot
};
// Reads "A-B", "A-" or "A" (A <= B, frame numbers from 0); throws ToolError
// for anything else, an empty or reversed range included.
FrameRange parseFrameRange(const std::string& text);

class PoseSource {
public:
    // Opens the inputs and checks what can be checked before reading poses:
    // every name (no other format), a cache's header and point count
    // against the rest mesh, the range against the frames there are. A pose
    // that can be read only once (a pipe) is copied aside first; a lone one
    // holding a point cache is read as one, known by its bytes, as it has no
    // name to go by. Poses from a cache are not compared with the rest
    // file's text, so the rest mesh's copy of it (its tail) is let go then.
    // Throws ToolError or FormatError.
    PoseSource(const std::vector<std::string>& inputs, formats::ObjMesh& rest, const FrameRange& range);
    ~PoseSource();
    PoseSource(const PoseSource&) = delete;
    PoseSource& operator=(const PoseSource&) = delete;

    size_t count() const { return numbers_.size(); }
    // Whether the poses are frames of a sequence (several poses, a cache, or
    // a range of frames), whose outputs are numbered even for one frame.
    bool isSequence() const { return sequence_; }
    // Whether the poses are frames of one point cache (each read is a copy).
    bool fromCache() const { return mdd_ || pc2_; }
    // Pose i's frame number in the shot, and the file it comes from (its
    // name, for the table).
    int number(size_t i) const { return numbers_[i]; }
    std::string label(size_t i) const;
    // Pose i into `pose`: its positions (as many as the rest mesh's points),
    // and for an OBJ pose the file's path, and its bytes, held in `bytes`.
    void read(size_t i, formats::MeshData& pose, formats::FileBytes& bytes) const;

    // When each pose is, for point caches written from these poses: in
    // seconds (MDD; carried over from an input MDD, else frame / 24) and in
    // the host's frames (PC2; carried over from an input PC2, an MDD's
    // times at 24 frames a second, else the frame numbers).
    std::vector<float> times() const;
    std::vector<double> frames() const;

private:
    void open(const std::vector<std::string>& inputs, const FrameRange& range);
    void closeCopies();

    struct PoseFile {
        std::string path;
        int number;
        int copy = -1;  // a copy of a pipe's bytes, or -1
    };
    const formats::ObjMesh& rest_;
    std::vector<PoseFile> files_;  // the OBJ poses in frame order
    std::unique_ptr<formats::MddReader> mdd_;
    std::unique_ptr<formats::Pc2Reader> pc2_;
    std::string cachePath_;
    std::vector<size_t> chosen_;  // the run's poses: places in files_, or cache frames
    std::vector<int> numbers_;
    bool sequence_ = false;
};

}  // namespace kestrin::tool

#endif
