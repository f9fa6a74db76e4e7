// kestrin weights: Strainmark's weight map for each pose, or Grainmark's for
// one or several measures (--direction): the whole-shot files that can hold
// several measures hold them all, the others are written once per measure.
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

// The outputs of a run of several measures: those whose one file holds
// every measure (.exr, .html, .glb), and the others, written once per
// measure under names of their own.
struct SplitOutputs {
    std::vector<std::string> together;
    std::vector<std::string> apart;
};

SplitOutputs splitOutputs(const std::vector<std::string>& outputs) {
    SplitOutputs split;
    for (const std::string& output : outputs) {
        const bool together = formats::outputFormat(output, formats::OutputRole::weights).measuresTogether;
        (together ? split.together : split.apart).push_back(output);
    }
    return split;
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

    // Every measure is computed for each pose in one pass over the shot. The
    // files that hold them all come first, then each measure's own files,
    // all planned and checked before any work; none replaces a file before
    // all succeeded.
    std::vector<std::string> directions = options.directions;
    if (directions.empty()) directions.push_back("");
    const bool several = directions.size() > 1;
    const bool binaryPly = options.settings.plyFormat == "binary";
    std::vector<std::unique_ptr<ResultFiles>> results;
    std::unique_ptr<ResultFiles> together;
    const SplitOutputs split = several ? splitOutputs(options.outputs) : SplitOutputs{{}, options.outputs};
    if (!split.together.empty()) {
        WeightSets sets;
        for (const std::string& direction : directions) {
            sets.names.push_back({direction, drive::measureSetting(direction)->help});
        }
        together = std::make_unique<ResultFiles>(split.together, formats::OutputRole::weights, poses, rest,
                                                 binaryPly, inputs, std::vector<std::string>(), false, sets);
    }
    for (size_t run = 0; run < directions.size(); ++run) {
        const std::string& direction = directions[run];
        std::vector<std::string> outputs;
        for (const std::string& output : split.apart) {
            outputs.push_back(nameForDirection(output, direction, directions.size()));
        }
        std::vector<std::string> extra;
        if (!options.settings.saveTo.empty()) {
            extra.push_back(nameForDirection(options.settings.saveTo, direction, directions.size()));
        }
        results.push_back(std::make_unique<ResultFiles>(outputs, formats::OutputRole::weights, poses, rest,
                                                        binaryPly, inputs, extra, false, WeightSets{{}, run}));
    }
    std::vector<ResultFiles*> files;
    if (together) files.push_back(together.get());
    for (const std::unique_ptr<ResultFiles>& result : results) files.push_back(result.get());

    host::Session session(options.settings.pluginDirectory);
    printWeightHeader(stdout, false);
    std::vector<std::optional<drive::WeightTool>> tools(directions.size());
    std::vector<std::vector<WeightSummary>> summaries(directions.size(), std::vector<WeightSummary>(poses.count()));
    runShot({poses, rest, files, jobsToUse(options.jobs), "weights",
             [&] {
                 // The settings files are saved with the outputs, once the run succeeded.
                 for (size_t run = 0; run < directions.size(); ++run) {
                     const std::string& direction = directions[run];
                     const drive::WeightToolKind kind = direction.empty() ? drive::WeightToolKind::Strainmark
                                                                          : drive::WeightToolKind::Grainmark;
                     // The rest mesh outlives the session: the scene shows its points.
                     drive::WeightTool& tool = tools[run].emplace(kind, session, rest.points, rest.polygons,
                                                                  settingsFor(options, direction), drive::ObjectNames{},
                                                                  drive::RestPoints::lent);
                     printLoadNote(tool);
                     const double bound = weightToolBound(tool);
                     results[run]->requireWeightBound(bound);
                     if (together) together->requireWeightBound(bound);
                     if (!options.settings.saveTo.empty()) {
                         results[run]->writeExtra(
                             nameForDirection(options.settings.saveTo, direction, directions.size()),
                             tool.settingsText());
                     }
                 }
             },
             [&](size_t pose, ShotSlot& slot) {
                 if (several) slot.measures.resize(directions.size());
                 for (size_t run = 0; run < directions.size(); ++run) {
                     std::vector<float>& weights = several ? slot.measures[run] : slot.weights;
                     weights.resize(rest.points.size());
                     tools[run]->compute(slot.pose.points.data(), weights.data());
                     summaries[run][pose] = summariseWeights(weights);
                 }
             }});
    for (size_t run = 0; run < directions.size(); ++run) {
        const std::string suffix = several ? " (" + directions[run] + ")" : "";
        for (size_t pose = 0; pose < poses.count(); ++pose) {
            printWeightRow(stdout, poses.number(pose), poses.label(pose) + suffix, summaries[run][pose], nullptr);
        }
    }
    for (ResultFiles* result : files) result->commit();
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
                            directions + "). Given several times, .exr, .html and .glb hold every direction "
                            "(an .exr's R, G, B the first three, a page with a menu of them), other outputs "
                            "are written once per direction, named with it before the extension (w.along.npy)")
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
