// kestrin weights: Strainmark's weight map for each pose.
#include <memory>

#include "cli_options.h"
#include "commands.h"
#include "formats/obj_reader.h"
#include "progress.h"
#include "result_files.h"
#include "statistics.h"

namespace kestrin::tool {
namespace {

struct WeightsOptions {
    std::string rest;
    std::vector<std::string> poses;
    std::vector<std::string> outputs;
    SettingsOptions settings;
};

void runWeights(const WeightsOptions& options) {
    const int poseCount = static_cast<int>(options.poses.size());
    ResultFiles results(options.outputs, OutputRole::weights,
                        poseCount, options.settings.plyFormat == "binary");
    const MeshData rest = readObj(options.rest);
    std::vector<MeshData> poses;
    for (const std::string& path : options.poses) {
        poses.push_back(readPose(path, rest));
    }

    host::Session session(options.settings.pluginDirectory);
    WeightTool tool(session, rest, options.settings.pluginSettings());
    std::vector<std::vector<float>> weights;
    {
        Progress progress("weights", poseCount);
        for (const MeshData& pose : poses) {
            weights.push_back(tool.compute(pose.points));
            progress.advance();
        }
    }
    Progress progress("writing", poseCount);
    printWeightHeader(stdout, false);
    for (int i = 0; i < poseCount; ++i) {
        results.writeWeights(i + 1, poses[i], weights[i]);
        printWeightRow(stdout, std::to_string(i + 1), summariseWeights(weights[i]), nullptr);
        progress.advance();
    }
    results.commit();
}

}  // namespace

void addWeightsCommand(CLI::App& app) {
    auto options = std::make_shared<WeightsOptions>();
    CLI::App* command = app.add_subcommand(
        "weights", "Tension weights of posed meshes from Strainmark: positive where the edges "
                   "around a point are stretched, negative where squashed");
    command->add_option("--rest", options->rest, "Rest mesh (OBJ)")->required()->type_name("REST");
    command->add_option("--pose", options->poses,
                        "Posed meshes (OBJ) with the rest mesh's points and faces")
        ->required()
        ->type_name("POSE");
    command->add_option("-o,--output", options->outputs,
                        "Outputs by extension: .csv (point,weight), .ply (posed mesh with weights "
                        "and colours), .png (heat map), .html (every pose in one page to view in a "
                        "browser); several poses number them (out_0001.csv) unless the name holds "
                        "a %04d field")
        ->required()
        ->type_name("OUT");
    addSettingsOptions(*command, options->settings, true);
    addPlyFormatOption(*command, options->settings);
    addPluginDirectoryOption(*command, options->settings);
    command->callback([options] { runWeights(*options); });
}

}  // namespace kestrin::tool
