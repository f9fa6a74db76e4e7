// kestrin weights: Strainmark's weight map for each pose.
#include <memory>
#include <optional>

#include "cli_options.h"
#include "commands.h"
#include "mesh/obj_reader.h"
#include "output_formats.h"
#include "output_plan.h"
#include "result_files.h"
#include "shot_run.h"
#include "statistics.h"
#include "weight_bound.h"

namespace kestrin::tool {
namespace {

struct WeightsOptions {
    std::string rest;
    std::vector<std::string> poses;
    FrameRange frames;
    std::vector<std::string> outputs;
    unsigned jobs = 0;
    SettingsOptions settings;
};

void runWeights(const WeightsOptions& options) {
    // Everything that can fail before the work, first.
    std::vector<RunInput> inputs = {{"rest mesh", options.rest}};
    for (const std::string& pose : options.poses) inputs.push_back({"pose", pose});
    if (!options.settings.loadFrom.empty()) inputs.push_back({"settings file", options.settings.loadFrom});
    requireReadable(inputs);
    const formats::ObjMesh rest = formats::readObj(options.rest, formats::outputsTakeRestUvs(options.outputs));
    const PoseSource poses(options.poses, rest, options.frames);
    std::vector<std::string> extra;
    if (!options.settings.saveTo.empty()) extra.push_back(options.settings.saveTo);
    ResultFiles results(options.outputs, formats::OutputRole::weights, poses, rest,
                        options.settings.plyFormat == "binary", inputs, extra);

    host::Session session(options.settings.pluginDirectory);
    std::optional<drive::Strainmark> tool;
    std::vector<WeightSummary> summaries(poses.count());
    runShot({poses, rest, {&results}, jobsToUse(options.jobs), "weights",
             [&] {
                 // The settings file is saved with the outputs, once the run succeeded.
                 tool.emplace(session, rest.points, rest.polygons, options.settings.pluginSettings());
                 results.requireWeightBound(strainmarkWeightBound(*tool));
                 if (!options.settings.saveTo.empty()) {
                     results.writeExtra(options.settings.saveTo, tool->settingsText());
                 }
             },
             [&](size_t pose, ShotSlot& slot) {
                 slot.weights.resize(rest.points.size());
                 tool->compute(slot.pose.points.data(), slot.weights.data());
                 summaries[pose] = summariseWeights(slot.weights);
             }});
    results.commit();
    printWeightHeader(stdout, false);
    for (size_t pose = 0; pose < poses.count(); ++pose) {
        printWeightRow(stdout, poses.number(pose), poses.label(pose), summaries[pose], nullptr);
    }
    finishTable(stdout);
}

}  // namespace

void addWeightsCommand(CLI::App& app) {
    auto options = std::make_shared<WeightsOptions>();
    CLI::App* command = app.add_subcommand(
        "weights", "Tension weights of posed meshes from Strainmark: positive where the edges "
                   "around a point are stretched, negative where squashed");
    command->add_option("--rest", options->rest, "Rest mesh (OBJ)")->required()->type_name("REST");
    command->add_option("--pose", options->poses,
                        "Posed meshes: OBJ files with the rest mesh's points (and its faces, or "
                        "none), or one point cache (.mdd, .pc2) holding every pose")
        ->required()
        ->type_name("POSE");
    addFramesOption(*command, options->frames);
    command->add_option("-o,--output", options->outputs,
                        "Outputs by extension: per pose .csv (point,weight), .ply (posed mesh with "
                        "weights and colours), .png (heat map), numbered out_0001.csv... unless the "
                        "name holds a %04d field; for the whole shot .npy (float32 array, poses x "
                        "points), .html (every pose in one page to view in a browser), .exr (a "
                        "half-float vertex-animation texture for engines) and .glb (the rest mesh "
                        "for engines, addressing that texture)")
        ->required()
        ->type_name("OUT");
    command->add_option("--jobs", options->jobs, "Threads reading and writing (default: the number of cores)")
        ->check(CLI::Range(1u, 256u))
        ->type_name("N");
    addSettingsOptions(*command, options->settings, true);
    addPlyFormatOption(*command, options->settings);
    addPluginDirectoryOption(*command, options->settings);
    command->callback([options] { runWeights(*options); });
}

}  // namespace kestrin::tool
