// kestrin morph: the Strainshaper effect's corrected mesh for each pose.
#include <future>
#include <memory>
#include <optional>

#include "cli_options.h"
#include "commands.h"
#include "mesh/obj_reader.h"
#include "output_formats.h"
#include "output_plan.h"
#include "plugin_instances.h"
#include "shot_run.h"
#include "result_files.h"
#include "statistics.h"
#include "weights/csv_reader.h"

namespace kestrin::tool {
namespace {

// What `kestrin morph --help` says the command does.
constexpr const char* summary =
    "Corrected meshes from the Strainshaper effect: each point moves toward the "
    "stretch or squash target by its edge tension";

struct MorphOptions : ShotOptions {
    std::string stretchTarget;
    std::string squashTarget;
    std::string weightMap;
    std::string exrValues = "displacement";
};

void runMorph(const MorphOptions& options) {
    // Everything that can fail before the work, first.
    std::vector<RunInput> inputs = {{"rest mesh", options.rest},
                                    {"stretch target", options.stretchTarget},
                                    {"squash target", options.squashTarget}};
    for (const std::string& pose : options.poses) inputs.push_back({"pose", pose});
    if (!options.weightMap.empty()) inputs.push_back({"weight map", options.weightMap});
    if (!options.settings.loadFrom.empty()) inputs.push_back({"settings file", options.settings.loadFrom});
    requireReadable(inputs);
    // The three meshes side by side; faults are still reported rest first.
    auto stretchRead = std::async(std::launch::async, [&] { return formats::readObjPoints(options.stretchTarget); });
    auto squashRead = std::async(std::launch::async, [&] { return formats::readObjPoints(options.squashTarget); });
    formats::ObjMesh rest = formats::readObj(options.rest, formats::outputsTakeRestUvs(options.outputs));
    formats::MeshData stretch = stretchRead.get();
    formats::requireSameShape(rest, stretch, "stretch target", false);
    formats::MeshData squash = squashRead.get();
    formats::requireSameShape(rest, squash, "squash target", false);
    std::optional<std::vector<float>> weights;
    if (!options.weightMap.empty()) weights = formats::readInfluenceMap(options.weightMap, rest.points.size());
    const PoseSource poses(options.poses, rest, options.frames);
    std::vector<std::string> extra;
    if (!options.settings.saveTo.empty()) extra.push_back(options.settings.saveTo);
    ResultFiles results(options.outputs, formats::OutputRole::mesh, poses, rest,
                        options.settings.plyFormat == "binary", inputs, extra,
                        options.exrValues == "position");

    host::Session session(options.settings.pluginDirectory);
    std::optional<drive::Strainshaper> effect;
    std::vector<DisplacementSummary> moved(poses.count());
    runShot({poses, rest, {&results}, jobsToUse(options.jobs), "morph",
             [&] {
                 // The settings file is saved with the outputs, once the run succeeded.
                 // The targets' points move into the scene; the rest mesh outlives the
                 // session, and the scene shows its points.
                 effect.emplace(session, rest.points, rest.polygons, std::move(stretch.points),
                                std::move(squash.points), weights, options.settings.pluginSettings(),
                                drive::ObjectNames{}, drive::SetupPass::Now, drive::RestPoints::lent);
                 printLoadNote(*effect);
                 if (!options.settings.saveTo.empty()) {
                     results.writeExtra(options.settings.saveTo, effect->settingsText());
                 }
             },
             [&](size_t pose, ShotSlot& slot) {
                 slot.corrected.points.resize(rest.points.size());
                 effect->displace(slot.pose.points.data(), slot.corrected.points.data());
                 moved[pose] = summariseDisplacement(slot.pose.points, slot.corrected.points);
             },
             weights ? &*weights : nullptr});
    results.commit();
    std::printf("%6s %-20s %10s %10s\n", "frame", "pose", "mean move", "max move");
    for (size_t pose = 0; pose < poses.count(); ++pose) {
        std::printf("%6d %-20s %10.4f %10.4f\n", poses.number(pose), poses.label(pose).c_str(), moved[pose].mean,
                    moved[pose].largest);
    }
    finishTable(stdout);
}

}  // namespace

void addMorphCommand(CLI::App& app) {
    const auto [command, options] = addCommand<MorphOptions>(app, "morph", summary, runMorph);
    addRestAndPoseOptions(*command, *options);
    command->add_option("--stretch-target", options->stretchTarget,
                        "Shape (OBJ, the rest mesh's points) that stretched points move toward")
        ->required()
        ->type_name("FILE");
    command->add_option("--squash-target", options->squashTarget,
                        "Shape (OBJ, the rest mesh's points) that squashed points move toward")
        ->required()
        ->type_name("FILE");
    command->add_option("--weight-map", options->weightMap,
                        "Influence map: a weight in [0, 1] per point (CSV point,weight) that "
                        "scales how far each point moves; not the tension weights, which the "
                        "effect works out itself")
        ->type_name("CSV");
    addOutputOptions(*command, *options,
                     "Corrected meshes: per pose .obj (the pose file with the new points) or "
                     ".ply, numbered out_0001.obj... unless the name holds a %04d field; for "
                     "the whole shot a point cache (.mdd, .pc2), .html (every pose and its "
                     "correction in one page for a browser), .exr (a vertex-animation texture "
                     "for engines) or .glb (the rest mesh for engines, addressing that texture)");
    command->add_option("--exr-values", options->exrValues,
                        "What a .exr texture holds: each point's displacement from the pose "
                        "(default) or its corrected position")
        ->check(CLI::IsMember({"displacement", "position"}))
        ->type_name("displacement|position");
    addRunOptions(*command, *options, false);
}

}  // namespace kestrin::tool
