// kestrin demo: the built-in example. A procedural arm bends at the elbow
// over a few frames; Strainmark weighs each frame and the Strainshaper effect
// corrects it with a squash target (the inner elbow's flesh squeezed out to
// the sides of the fold) and a stretch target (the outer elbow drawn tight).
#include <filesystem>
#include <memory>

#include "files/atomic_file.h"
#include "cli_options.h"
#include "commands.h"
#include "demo_arm.h"
#include "mesh/obj_writer.h"
#include "mesh/obj_reader.h"
#include "output_plan.h"
#include "output_names.h"
#include "pose_source.h"
#include "result_files.h"
#include "shot_run.h"
#include "statistics.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

// What `kestrin demo --help` says the command does.
constexpr const char* summary =
    "Built-in example: a procedural arm bent at the elbow, its tension weights "
    "(CSV, PLY, PNG), corrected meshes and the whole shot as a page (shot.html), "
    "with a table per frame";

struct DemoOptions {
    std::string outputDirectory = "out/demo";
    SettingsOptions settings;
};

constexpr double frameAngles[] = {0.0, 30.0, 60.0, 90.0, 120.0};
constexpr int frameCount = sizeof frameAngles / sizeof frameAngles[0];

void printModule(host::Session& session, host::Plugin plugin) {
    const host::PluginInfo loaded = session.pluginInfo(plugin);
    const PluginRegistration& registered = loaded.registration;
    std::printf("%s: \"%s\" (class %d, flags 0x%x, interface 0x%x, %zu message classes)\n  %s\n",
                std::filesystem::path(loaded.path).filename().c_str(), registered.name.c_str(),
                registered.moduleClass, static_cast<unsigned>(registered.registerFlags),
                static_cast<unsigned>(registered.apiVersion), loaded.messageClasses,
                registered.description.c_str());
}

// The demo's inputs as OBJ files in `directory`, so that the commands can be
// tried on them: the rest arm, its squash and stretch targets, and the arm
// bent at each frame. Returns the poses' files. They are outputs of the demo
// like any other: checked first, as every command checks its outputs (a
// read-only file is refused, a link's target is written).
std::vector<std::string> writeInputs(const std::filesystem::path& directory) {
    std::vector<std::string> names = {(directory / "arm_rest.obj").string(), (directory / "arm_squash.obj").string(),
                                      (directory / "arm_stretch.obj").string()};
    std::vector<std::string> poseFiles;
    for (int frame = 0; frame < frameCount; ++frame) {
        poseFiles.push_back(numberedOutput((directory / "arm_pose_%04d.obj").string(), frame + 1, true));
        names.push_back(poseFiles.back());
    }
    const std::vector<OutputTarget> targets = planOutputs(names, {});
    const ArmShape shape;
    const formats::MeshData arm = makeArm(shape);
    std::vector<std::string> texts = {formats::meshObj(arm), formats::meshObj(squashTarget(arm, shape)),
                                      formats::meshObj(stretchTarget(arm, shape))};
    for (int frame = 0; frame < frameCount; ++frame) {
        texts.push_back(formats::meshObj(bendArm(arm, shape, frameAngles[frame])));
    }
    for (size_t i = 0; i < targets.size(); ++i) formats::writeFileAtomically(targets[i].path, texts[i]);
    return poseFiles;
}

// The effect on the rest arm, or null when it does not load: the demo then
// says why and goes on with the weights alone.
std::unique_ptr<drive::Strainshaper> startEffect(host::Session& session, const formats::ObjMesh& rest,
                                                 const formats::MeshData& stretch, const formats::MeshData& squash) {
    try {
        auto effect = std::make_unique<drive::Strainshaper>(session, rest.points, rest.polygons, stretch.points,
                                                            squash.points, std::nullopt, drive::PluginSettings{});
        printModule(session, effect->instance().plugin);
        return effect;
    } catch (const host::SessionError& failure) {
        std::printf("The Strainshaper effect did not run: %s\n", failure.what());
        return nullptr;
    }
}

void printTable(const std::vector<WeightSummary>& weighed, const std::vector<DisplacementSummary>* moved) {
    printWeightHeader(stdout, moved != nullptr);
    for (int frame = 0; frame < frameCount; ++frame) {
        char label[32];
        std::snprintf(label, sizeof label, "(%g deg)", frameAngles[frame]);
        printWeightRow(stdout, frame + 1, label, weighed[frame], moved != nullptr ? &(*moved)[frame] : nullptr);
    }
}

void runDemo(const DemoOptions& options) {
    const std::filesystem::path directory(options.outputDirectory);
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) throw ToolError(options.outputDirectory + ": cannot make directory: " + error.message());
    auto file = [&](const std::string& name) { return (directory / name).string(); };

    // The run reads the inputs back as `weights` and `morph` would.
    const std::vector<std::string> poseFiles = writeInputs(directory);
    formats::ObjMesh rest = formats::readObj(file("arm_rest.obj"));
    const formats::MeshData squash = formats::readObj(file("arm_squash.obj"));
    const formats::MeshData stretch = formats::readObj(file("arm_stretch.obj"));
    const PoseSource poses(poseFiles, rest, FrameRange{});
    std::vector<RunInput> inputs = {{"rest mesh", rest.path}, {"target", squash.path}, {"target", stretch.path}};
    for (const std::string& pose : poseFiles) inputs.push_back({"pose", pose});
    ResultFiles weightFiles({file("weights_%04d.csv"), file("weights_%04d.ply"), file("weights_%04d.png")},
                            formats::OutputRole::weights, poses, rest, true, inputs);
    ResultFiles meshFiles({file("corrected_%04d.obj"), file("shot.html")}, formats::OutputRole::mesh, poses, rest,
                          false, inputs);

    host::Session session(options.settings.pluginDirectory);
    drive::Strainmark tool(session, rest.points, rest.polygons, {});
    printModule(session, tool.instance().plugin);
    const std::unique_ptr<drive::Strainshaper> effect = startEffect(session, rest, stretch, squash);
    std::vector<WeightSummary> weighed(frameCount);
    std::vector<DisplacementSummary> moved(frameCount);
    std::vector<ResultFiles*> results = {&weightFiles};
    if (effect) results.push_back(&meshFiles);
    runShot({poses, rest, results, 1, "demo", nullptr, [&](size_t pose, ShotSlot& slot) {
                 slot.weights.resize(rest.points.size());
                 tool.compute(slot.pose.points.data(), slot.weights.data());
                 weighed[pose] = summariseWeights(slot.weights);
                 if (!effect) return;
                 slot.corrected.points.resize(rest.points.size());
                 effect->displace(slot.pose.points.data(), slot.corrected.points.data());
                 moved[pose] = summariseDisplacement(slot.pose.points, slot.corrected.points);
             }});
    weightFiles.commit();
    if (effect) meshFiles.commit();

    std::printf("\nArm of %zu points and %zu faces, bent at the elbow; outputs in %s/\n",
                rest.points.size(), rest.polygons.size(), options.outputDirectory.c_str());
    printTable(weighed, effect ? &moved : nullptr);
}

}  // namespace

void addDemoCommand(CLI::App& app) {
    const auto [command, options] = addCommand<DemoOptions>(app, "demo", summary, runDemo);
    command->add_option("--out", options->outputDirectory, "Output directory (default out/demo)")
        ->type_name("DIR");
    addPluginDirectoryOption(*command, options->settings);
}

}  // namespace kestrin::tool
