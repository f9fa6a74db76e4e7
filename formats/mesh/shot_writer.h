// A file that holds a whole shot (every pose of a run in one file), given its
// poses one at a time in order. Each whole-shot format's file provides a
// factory of these for the registry (output_formats.h).
#ifndef KESTRIN_FORMATS_SHOT_WRITER_H
#define KESTRIN_FORMATS_SHOT_WRITER_H

#include <stddef.h>

#include <memory>
#include <string>
#include <vector>

#include "mesh/mesh_data.h"

namespace kestrin::formats {

struct ObjUvs;

// One of several weight sets a run computes for every pose (Grainmark's
// measures), as files name it.
struct MeasureName {
    std::string name;  // "along"
    std::string help;  // what it measures, in a sentence
};

// One pose's results.
struct PoseFrame {
    int number;                         // its frame number in the shot, which files show
    const MeshData& pose;               // the posed mesh
    const std::vector<float>* weights;  // the weight run's, one per point (the first set of several), or null
    const MeshData* corrected;          // the morph run's corrected mesh, or null
    // Every weight set of the pose, in ShotLayout::measures' order, when the
    // layout names several; else null.
    const std::vector<std::vector<float>>* measures = nullptr;
};

// What a whole-shot file knows before its first pose.
struct ShotLayout {
    const MeshData& rest;  // points and polygons of every pose
    size_t poseCount;
    std::vector<float> times;    // each pose's time in seconds (as an MDD cache counts them)
    std::vector<double> frames;  // each pose's frame (as a PC2 cache counts them)
    // A morph run's .exr texture: corrected positions instead of each
    // point's displacement from its pose (kestrin morph --exr-values).
    bool texturePositions = false;
    // The rest mesh's texture coordinates, from the read of its file; null
    // or empty when it has none.
    const ObjUvs* restUvs = nullptr;
    // The weight sets every pose has, when a run computes several for one
    // file (OutputFormat::measuresTogether); empty: one set, `weights`.
    std::vector<MeasureName> measures = {};
};

class ShotWriter {
public:
    virtual ~ShotWriter() = default;
    // The next pose. Throws FormatError naming the file on a failed write or
    // a value the format cannot hold.
    virtual void append(const PoseFrame& frame) = 0;
    // Completes the file under its temporary name and returns that name, for
    // a caller that renames several files into place together.
    virtual std::string finishStaged() = 0;
};

// Makes the writer of one whole-shot file: `path` is where it will land.
using ShotWriterFactory = std::unique_ptr<ShotWriter> (*)(const std::string& path, const ShotLayout& layout);

}  // namespace kestrin::formats

#endif
