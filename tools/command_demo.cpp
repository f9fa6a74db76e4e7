// kestrin demo: the built-in example. A procedural arm bends at the elbow
// over a few frames; Strainmark weighs each frame and the Strainshaper effect
// corrects it with a bulge (squash) and a crease (stretch) target.
#include <filesystem>
#include <memory>

#include "atomic_file.h"
#include "cli_options.h"
#include "commands.h"
#include "demo_arm.h"
#include "formats/obj_writer.h"
#include "result_files.h"
#include "statistics.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

struct DemoOptions {
    std::string outputDirectory = "out/demo";
    SettingsOptions settings;
};

constexpr double frameAngles[] = {0.0, 30.0, 60.0, 90.0, 120.0};
constexpr int frameCount = sizeof frameAngles / sizeof frameAngles[0];

void printModule(host::Session& session, host::Plugin plugin) {
    const host::PluginInfo loaded = session.pluginInfo(plugin);
    std::printf("%s: \"%s\" (class %d, flags 0x%x, interface 0x%x, %zu message classes)\n  %s\n",
                std::filesystem::path(loaded.path).filename().c_str(), loaded.name.c_str(),
                loaded.moduleClass, static_cast<unsigned>(loaded.registerFlags),
                static_cast<unsigned>(loaded.apiVersion), loaded.messageClasses,
                loaded.description.c_str());
}

void runDemo(const DemoOptions& options) {
    const std::filesystem::path directory(options.outputDirectory);
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) throw ToolError(options.outputDirectory + ": cannot make directory: " + error.message());
    auto file = [&](const std::string& name) { return (directory / name).string(); };

    const ArmShape shape;
    const MeshData rest = makeArm(shape);
    const MeshData bulge = bulgeTarget(rest, shape);
    const MeshData crease = creaseTarget(rest, shape);
    std::vector<MeshData> poses;
    for (double angle : frameAngles) poses.push_back(bendArm(rest, shape, angle));

    // The inputs too, so that the commands can be tried on them.
    ResultFiles inputs({file("arm_pose_%04d.obj")}, OutputRole::mesh, frameCount, false);
    writeFileAtomically(file("arm_rest.obj"), meshObj(rest));
    writeFileAtomically(file("arm_bulge.obj"), meshObj(bulge));
    writeFileAtomically(file("arm_crease.obj"), meshObj(crease));
    for (int frame = 0; frame < frameCount; ++frame) inputs.writeMesh(frame + 1, poses[frame]);
    inputs.commit();

    host::Session session(options.settings.pluginDirectory);
    std::vector<std::vector<float>> weights;
    {
        WeightTool tool(session, rest, {});
        printModule(session, tool.instance().plugin);
        for (const MeshData& pose : poses) weights.push_back(tool.compute(pose.points));
    }
    std::vector<std::vector<Point3>> corrected;
    try {
        Morpher morpher(session, rest, crease.points, bulge.points, std::nullopt, {});
        printModule(session, morpher.instance().plugin);
        for (const MeshData& pose : poses) corrected.push_back(morpher.displace(pose.points));
    } catch (const ToolError& failure) {
        std::printf("The Strainshaper effect did not run: %s\n", failure.what());
    }

    ResultFiles weightFiles({file("weights_%04d.csv"), file("weights_%04d.ply"), file("weights_%04d.png")},
                            OutputRole::weights, frameCount, true);
    ResultFiles meshFiles({file("corrected_%04d.obj")}, OutputRole::mesh, frameCount, false);
    ResultFiles page({file("shot.html")}, OutputRole::weights, frameCount, false);
    std::printf("\nArm of %zu points and %zu faces, bent at the elbow; outputs in %s/\n",
                rest.points.size(), rest.polygons.size(), options.outputDirectory.c_str());
    printWeightHeader(stdout, !corrected.empty());
    for (int frame = 0; frame < frameCount; ++frame) {
        weightFiles.writeWeights(frame + 1, poses[frame], weights[frame]);
        char label[32];
        std::snprintf(label, sizeof label, "%d (%g deg)", frame + 1, frameAngles[frame]);
        if (corrected.empty()) {
            printWeightRow(stdout, label, summariseWeights(weights[frame]), nullptr);
            page.writeWeights(frame + 1, poses[frame], weights[frame]);
            continue;
        }
        meshFiles.writeMesh(frame + 1, withPositions(rest, corrected[frame]));
        page.writeMesh(frame + 1, withPositions(rest, corrected[frame]), &poses[frame], weights[frame]);
        const DisplacementSummary moved = summariseDisplacement(poses[frame].points, corrected[frame]);
        printWeightRow(stdout, label, summariseWeights(weights[frame]), &moved);
    }
    weightFiles.commit();
    meshFiles.commit();
    page.commit();
}

}  // namespace

void addDemoCommand(CLI::App& app) {
    auto options = std::make_shared<DemoOptions>();
    CLI::App* command = app.add_subcommand(
        "demo", "Built-in example: a procedural arm bent at the elbow, its tension weights "
                "(CSV, PLY, PNG), corrected meshes and the whole shot as a page (shot.html), "
                "with a table per frame");
    command->add_option("--out", options->outputDirectory, "Output directory (default out/demo)")
        ->type_name("DIR");
    addPluginDirectoryOption(*command, options->settings);
    command->callback([options] { runDemo(*options); });
}

}  // namespace kestrin::tool
