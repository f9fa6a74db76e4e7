// kestrin morph: Rimshaper's corrected mesh for each pose.
#include <memory>
#include <optional>

#include "cli_options.h"
#include "commands.h"
#include "formats/obj_reader.h"
#include "progress.h"
#include "result_files.h"
#include "statistics.h"
#include "formats/csv_reader.h"

namespace kestrin::tool {
namespace {

struct MorphOptions {
    std::string rest;
    std::vector<std::string> poses;
    std::string stretchTarget;
    std::string squashTarget;
    std::string weightMap;
    std::vector<std::string> outputs;
    SettingsOptions settings;
};

void runMorph(const MorphOptions& options) {
    const int poseCount = static_cast<int>(options.poses.size());
    ResultFiles results(options.outputs, OutputRole::mesh, poseCount,
                        options.settings.plyFormat == "binary");
    const MeshData rest = readObj(options.rest);
    std::vector<MeshData> poses;
    for (const std::string& path : options.poses) {
        poses.push_back(readPose(path, rest));
    }
    const MeshData stretch = readObj(options.stretchTarget);
    requireSameShape(rest, stretch, "stretch target", false);
    const MeshData squash = readObj(options.squashTarget);
    requireSameShape(rest, squash, "squash target", false);
    std::optional<std::vector<float>> weights;
    if (!options.weightMap.empty()) weights = readWeightCsv(options.weightMap, rest.points.size());

    host::Session session(options.settings.pluginDirectory);
    Morpher morpher(session, rest, stretch.points, squash.points, weights, options.settings.pluginSettings());
    std::vector<MeshData> corrected;
    {
        Progress progress("morph", poseCount);
        for (const MeshData& pose : poses) {
            corrected.push_back(withPositions(pose, morpher.displace(pose.points)));
            progress.advance();
        }
    }
    std::printf("%-14s %10s %10s\n", "pose", "mean move", "max move");
    for (int i = 0; i < poseCount; ++i) {
        results.writeMesh(i + 1, corrected[i], &poses[i], weights.value_or(std::vector<float>()));
        const DisplacementSummary moved = summariseDisplacement(poses[i].points, corrected[i].points);
        std::printf("%-14d %10.4f %10.4f\n", i + 1, moved.mean, moved.largest);
    }
    results.commit();
}

}  // namespace

void addMorphCommand(CLI::App& app) {
    auto options = std::make_shared<MorphOptions>();
    CLI::App* command = app.add_subcommand(
        "morph", "Corrected meshes from the Strainshaper effect: each point moves toward the "
                 "stretch or squash target by its edge tension");
    command->add_option("--rest", options->rest, "Rest mesh (OBJ)")->required()->type_name("REST");
    command->add_option("--pose", options->poses,
                        "Posed meshes (OBJ) with the rest mesh's points and faces")
        ->required()
        ->type_name("POSE");
    command->add_option("--stretch-target", options->stretchTarget,
                        "Shape (OBJ, the rest mesh's points) that stretched points move toward")
        ->required()
        ->type_name("FILE");
    command->add_option("--squash-target", options->squashTarget,
                        "Shape (OBJ, the rest mesh's points) that squashed points move toward")
        ->required()
        ->type_name("FILE");
    command->add_option("--weight-map", options->weightMap,
                        "Per-point weights (CSV point,weight as `kestrin weights` writes) that "
                        "scale the movement")
        ->type_name("CSV");
    command->add_option("-o,--output", options->outputs,
                        "Corrected meshes: .obj (the input's vertex order and faces) or .ply; "
                        "several poses number them unless the name holds a %04d field; .html "
                        "shows every pose and its correction in one page for a browser")
        ->required()
        ->type_name("OUT");
    addSettingsOptions(*command, options->settings, false);
    addPlyFormatOption(*command, options->settings);
    addPluginDirectoryOption(*command, options->settings);
    command->callback([options] { runMorph(*options); });
}

}  // namespace kestrin::tool
