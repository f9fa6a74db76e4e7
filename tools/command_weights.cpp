// kestrin weights: Strainmark's weight map for each pose, or Grainmark's, one
// set of outputs per measure (--direction).
#include <cmath>
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

// What `kestrin weights --help` says the command does.
constexpr const char* summary =
    "Tension weights of posed meshes from Strainmark: positive where the edges "
    "around a point are stretched, negative where squashed";

std::vector<std::string> directionNames() {
    std::vector<std::string> names;
    for (const drive::MeasureSetting& measure : drive::measureSettings) names.push_back(measure.direction);
    return names;
}

struct WeightsOptions : ShotOptions {
    // Grainmark's measures, in the order given; none runs Strainmark.
    std::vector<std::string> directions;
    std::vector<double> axis;
};

// An output's name for one of several measures: ".along" before its
// extension ("weights.npy" -> "weights.along.npy"); as given for one.
std::string nameForDirection(const std::string& output, const std::string& direction, size_t directions) {
    if (directions < 2) return output;
    const size_t slash = output.find_last_of('/');
    const size_t dot = output.find_last_of('.');
    const size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? output.size() : dot;
    return output.substr(0, at) + "." + direction + output.substr(at);
}

// The settings of one run: those given, then Grainmark's axis and measure.
drive::PluginSettings settingsFor(const WeightsOptions& options, const std::string& direction) {
    drive::PluginSettings settings = options.settings.pluginSettings();
    if (direction.empty()) return settings;
    for (size_t i = 0; i < options.axis.size() && i < drive::axisSettingCount; ++i) {
        settings.channels.emplace_back(drive::axisSettings[i].name, options.axis[i]);
    }
    settings.toggles.emplace_back(drive::measureSetting(direction)->label, true);
    return settings;
}

// What the command line cannot say by itself: an axis only with a measure,
// each measure once, an axis of numbers.
void checkGrainOptions(const WeightsOptions& options) {
    if (!options.axis.empty() && options.directions.empty()) {
        throw CLI::ValidationError("--axis", "only Grainmark has an axis: give --direction too");
    }
    for (size_t i = 0; i < options.directions.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (options.directions[i] == options.directions[j]) {
                throw CLI::ValidationError("--direction", options.directions[i] + " is given twice");
            }
        }
    }
    for (double value : options.axis) {
        if (!std::isfinite(value)) throw CLI::ValidationError("--axis", "X,Y,Z must be finite numbers");
    }
}

void runWeights(const WeightsOptions& options) {
    // Everything that can fail before the work, first.
    checkGrainOptions(options);
    std::vector<RunInput> inputs = {{"rest mesh", options.rest}};
    for (const std::string& pose : options.poses) inputs.push_back({"pose", pose});
    if (!options.settings.loadFrom.empty()) inputs.push_back({"settings file", options.settings.loadFrom});
    requireReadable(inputs);
    formats::ObjMesh rest = formats::readObj(options.rest, formats::outputsTakeRestUvs(options.outputs));
    const PoseSource poses(options.poses, rest, options.frames);

    // One run per measure, each with outputs of its own, all planned and
    // checked before any work; none replaces a file before all succeeded.
    std::vector<std::string> directions = options.directions;
    if (directions.empty()) directions.push_back("");
    std::vector<std::unique_ptr<ResultFiles>> results;
    for (const std::string& direction : directions) {
        std::vector<std::string> outputs;
        for (const std::string& output : options.outputs) {
            outputs.push_back(nameForDirection(output, direction, directions.size()));
        }
        std::vector<std::string> extra;
        if (!options.settings.saveTo.empty()) {
            extra.push_back(nameForDirection(options.settings.saveTo, direction, directions.size()));
        }
        results.push_back(std::make_unique<ResultFiles>(outputs, formats::OutputRole::weights, poses, rest,
                                                        options.settings.plyFormat == "binary", inputs, extra));
    }

    host::Session session(options.settings.pluginDirectory);
    printWeightHeader(stdout, false);
    for (size_t run = 0; run < directions.size(); ++run) {
        const std::string& direction = directions[run];
        ResultFiles& files = *results[run];
        std::optional<drive::WeightTool> tool;
        std::vector<WeightSummary> summaries(poses.count());
        const drive::WeightToolKind kind =
            direction.empty() ? drive::WeightToolKind::Strainmark : drive::WeightToolKind::Grainmark;
        runShot({poses, rest, {&files}, jobsToUse(options.jobs), "weights",
                 [&] {
                     // The settings file is saved with the outputs, once the run succeeded.
                     tool.emplace(kind, session, rest.points, rest.polygons, settingsFor(options, direction));
                     printLoadNote(*tool);
                     files.requireWeightBound(weightToolBound(*tool));
                     if (!options.settings.saveTo.empty()) {
                         files.writeExtra(nameForDirection(options.settings.saveTo, direction, directions.size()),
                                          tool->settingsText());
                     }
                 },
                 [&](size_t pose, ShotSlot& slot) {
                     slot.weights.resize(rest.points.size());
                     tool->compute(slot.pose.points.data(), slot.weights.data());
                     summaries[pose] = summariseWeights(slot.weights);
                 }});
        const std::string suffix = directions.size() > 1 ? " (" + direction + ")" : "";
        for (size_t pose = 0; pose < poses.count(); ++pose) {
            printWeightRow(stdout, poses.number(pose), poses.label(pose) + suffix, summaries[pose], nullptr);
        }
    }
    for (const std::unique_ptr<ResultFiles>& files : results) files->commit();
    finishTable(stdout);
}

}  // namespace

void addWeightsCommand(CLI::App& app) {
    const auto [command, options] = addCommand<WeightsOptions>(app, "weights", summary, runWeights);
    addRestAndPoseOptions(*command, *options);
    addOutputOptions(*command, *options,
                     "Outputs by extension: per pose .csv (point,weight), .ply (posed mesh with "
                     "weights and colours), .png (heat map), numbered out_0001.csv... unless the "
                     "name holds a %04d field; for the whole shot .npy (float32 array, poses x "
                     "points), .html (every pose in one page to view in a browser), .exr (a "
                     "half-float vertex-animation texture for engines) and .glb (the rest mesh "
                     "for engines, addressing that texture)");
    std::string directions;
    for (const drive::MeasureSetting& measure : drive::measureSettings) {
        directions += std::string(directions.empty() ? "" : ", ") + measure.direction + ": " + measure.help;
    }
    command->add_option("--direction", options->directions,
                        "Run Grainmark instead of Strainmark: the surface's stretch in a direction (" +
                            directions + "). Given several times, one set of outputs each, named with "
                            "the direction before the extension (weights.along.npy)")
        ->check(CLI::IsMember(directionNames()))
        ->type_name("DIR");
    command->add_option("--axis", options->axis,
                        "Grainmark's axis in the mesh's space, as X,Y,Z (default 0,1,0): what along and across follow")
        ->delimiter(',')
        ->expected(3)
        ->check(CLI::Number)
        ->type_name("X,Y,Z");
    addRunOptions(*command, *options, true);
}

}  // namespace kestrin::tool
