// The session API as a driver uses it: loading failures carry their reason,
// several sessions live side by side and die in any order.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>

#include "files/format_error.h"
#include "plugin_instances.h"
#include "plugins.h"
#include "session.h"
#include "session_access.h"

namespace kestrin::host {
namespace {

// A unit cube of quads; scaled by 1.5 every edge stretches by 1.5, which the
// defaults weigh 0.63188 at every point.
std::vector<Point3> cube(double scale) {
    std::vector<Point3> points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                  {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    for (Point3& p : points) p = {p.x * scale, p.y * scale, p.z * scale};
    return points;
}

Polygons cubeFaces() {
    Polygons faces;
    for (auto face : {std::initializer_list<int32_t>{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                      {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}}) {
        faces.add(face);
    }
    return faces;
}

// The build places the plug-ins and the provider beside the kestrin tool.
std::string pluginDirectory() {
    const std::string tool = KESTRIN_TOOL_PATH;
    return tool.substr(0, tool.rfind('/'));
}

TEST(Session, EntryFailureCarriesThePluginsMessage) {
    Session session(pluginDirectory());
    simulatorOf(session).withhold("fxObjectSetParent");
    try {
        session.loadPlugin(test::strainmarkPath);
        FAIL() << "loaded";
    } catch (const SessionError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("entry failed with 4"), std::string::npos) << message;
        EXPECT_NE(message.find("Strainmark: fxObjectSetParent could not be found!"), std::string::npos)
            << message;
    }
}

TEST(Session, FilesThatAreNoPluginAreRefusedWithTheLoadersReason) {
    const std::string text = ::testing::TempDir() + "/not_a_library.so";
    std::ofstream(text) << "not a shared library\n";
    struct Case {
        std::string file;
        const char* reason;
    } cases[] = {
        {::testing::TempDir() + "/no_such_plugin.so", "cannot open shared object file"},
        {text, "cannot load plug-in"},
        {test::tangentSpacePath, "not a kestrin plug-in (no kestrinAPI or kestrinEntry)"},
    };
    Session session(pluginDirectory());
    for (const Case& c : cases) {
        try {
            session.loadPlugin(c.file);
            ADD_FAILURE() << c.file << " loaded";
        } catch (const SessionError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.find(c.file), 0u) << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        }
    }
    EXPECT_THROW(session.loadProvider(test::strainmarkPath), SessionError);
}

struct Scene {
    explicit Scene(Session& session) : session(session) {
        weighed = session.addStrainmark(session.addObject("weighed", cube(1), cubeFaces()));
        const HostHandle shaped = session.addObject("shaped", cube(1), cubeFaces());
        effect = session.addStrainshaper(shaped);
        session.choose(effect, stretchObjectPopup, session.addObject("stretch", cube(2), cubeFaces()));
        session.choose(effect, squashObjectPopup, session.addObject("squash", cube(1), cubeFaces()));
        session.setupEffect(effect);
    }
    // What both instances give for the cube scaled by 1.5.
    void expectResults() {
        for (float w : session.computeWeights(weighed, cube(1.5))) EXPECT_NEAR(w, 0.63188f, 1e-5f);
        const std::vector<Point3> moved = session.displace(effect, cube(1.5));
        EXPECT_GT(std::fabs(moved[6].x - 1.5), 0.01) << "the effect moved nothing";
    }
    Session& session;
    Instance weighed;
    Instance effect;
};

// Every host function reaches the host that called into the plug-in: the
// survivor of two sessions keeps working whichever died first.
TEST(Session, TheSurvivorOfTwoSessionsKeepsWorkingWhicheverDiesFirst) {
    for (bool newerDiesFirst : {true, false}) {
        auto older = std::make_unique<Session>(pluginDirectory());
        Scene olderScene(*older);
        auto newer = std::make_unique<Session>(pluginDirectory());
        Scene newerScene(*newer);
        olderScene.expectResults();
        newerScene.expectResults();
        if (newerDiesFirst) {
            newer.reset();
            olderScene.expectResults();
            EXPECT_EQ(older->attachedRecords(), 2u);
        } else {
            older.reset();
            newerScene.expectResults();
            EXPECT_EQ(newer->attachedRecords(), 2u);
        }
    }
}

// Held by a static object of this file, which the program destroys after
// the simulator's own static objects: a driver that keeps its session for the
// program's life.
std::unique_ptr<Session> heldUntilExit;

TEST(Session, ASessionLeftToTheProgramsExitClosesItsLibraries) {
    EXPECT_EXIT(
        {
            heldUntilExit = std::make_unique<Session>(pluginDirectory());
            Scene scene(*heldUntilExit);
            scene.expectResults();
            exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Session, DestroyedInstancesLeaveNothingAttached) {
    Session session(pluginDirectory());
    Scene scene(session);
    EXPECT_EQ(session.attachedRecords(), 2u);
    session.destroy(scene.weighed);
    session.destroy(scene.weighed);
    session.destroy(scene.effect);
    EXPECT_EQ(session.attachedRecords(), 0u);
    EXPECT_FALSE(scene.weighed.valid());
}

}  // namespace
// What the command line and the module's setters refuse, a settings file
// cannot bring in: the file is refused by name and nothing of it applies.
TEST(DrivenPlugins, ASettingsFileCannotCarryWhatTheSettersRefuse) {
    Session session(pluginDirectory());
    drive::Strainmark tool(session, cube(1), cubeFaces(), {});
    const std::string path = ::testing::TempDir() + "kestrin_refused_settings.json";
    const char* const bodies[] = {
        R"("channels": {"Exponent": "nan"}, "blocks": [])",
        R"("channels": {"Pre Multiplier": 0.7, "Post Multiplier": "inf"}, "blocks": [])",
        R"("channels": {"Pre Multiplier": 0.7}, "blocks": [{"name": "LagData", "values": [{"key": "lag", "type": "double", "value": "-inf"}]}])",
    };
    for (const char* body : bodies) {
        std::ofstream(path) << R"({"kestrin_tool_settings": 2, "module": "Strainmark", )" << body << "}";
        try {
            tool.loadSettings(path);
            ADD_FAILURE() << "loaded " << body;
        } catch (const formats::FormatError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(path + ": ", 0), 0u) << error.what();
        }
        EXPECT_EQ(tool.channel("Pre Multiplier"), 0.5) << body;
        EXPECT_NEAR(tool.compute(cube(1.5))[0], 0.63188f, 1e-5f) << body;
    }
}

}  // namespace kestrin::host

namespace kestrin::host {

// The scene may show the caller's rest points instead of a copy, and the
// corrected points may go to the caller's buffer or over the pose itself:
// every way gives the same positions.
TEST(DrivenPlugins, LentRestPointsAndOutputsMoveAPoseAsCopiesDo) {
    Session session(pluginDirectory());
    const std::vector<Point3> rest = cube(1);
    const drive::PluginSettings settings;
    drive::Strainshaper copied(session, rest, cubeFaces(), cube(2), cube(0.5), std::nullopt, settings, {{" 1"}});
    drive::Strainshaper lent(session, rest, cubeFaces(), cube(2), cube(0.5), std::nullopt, settings, {{" 2"}},
                             drive::SetupPass::Now, drive::RestPoints::lent);
    for (const double scale : {1.5, 0.5}) {
        const std::vector<Point3> pose = cube(scale);
        const std::vector<Point3> expected = copied.displace(pose);
        ASSERT_NE(expected[6].x, pose[6].x) << scale;
        std::vector<Point3> apart(pose.size());
        lent.displace(pose.data(), apart.data());
        std::vector<Point3> inPlace = pose;
        lent.displace(inPlace.data(), inPlace.data());
        for (size_t i = 0; i < pose.size(); ++i) {
            for (const auto& got : {apart[i], inPlace[i]}) {
                EXPECT_EQ(got.x, expected[i].x) << scale << " " << i;
                EXPECT_EQ(got.y, expected[i].y) << scale << " " << i;
                EXPECT_EQ(got.z, expected[i].z) << scale << " " << i;
            }
        }
    }
}

// A Strainshaper whose setup pass is left to the caller moves nothing until
// capture(), then moves every point as one set up at once.
TEST(DrivenPlugins, AStrainshaperCapturesAtTheCallersSetupPass) {
    Session session(pluginDirectory());
    const std::vector<Point3> rest = cube(1);
    const std::vector<Point3> pose = cube(1.5);
    const drive::PluginSettings settings;
    drive::Strainshaper now(session, rest, cubeFaces(), cube(2), cube(0.5), std::nullopt, settings, {{" 1"}});
    drive::Strainshaper later(session, rest, cubeFaces(), cube(2), cube(0.5), std::nullopt, settings, {{" 2"}},
                              drive::SetupPass::Later);
    const std::vector<Point3> moved = now.displace(pose);
    ASSERT_NE(moved[6].x, pose[6].x);
    const std::vector<Point3> before = later.displace(pose);
    EXPECT_EQ(before[6].x, pose[6].x);
    later.capture();
    const std::vector<Point3> after = later.displace(pose);
    for (size_t i = 0; i < pose.size(); ++i) {
        EXPECT_EQ(after[i].x, moved[i].x) << i;
        EXPECT_EQ(after[i].y, moved[i].y) << i;
        EXPECT_EQ(after[i].z, moved[i].z) << i;
    }
}

}  // namespace kestrin::host
