// The Unity and Unreal shader code of engines/ (written from their
// documentation; neither engine runs here) is at least valid HLSL: glslang's
// HLSL front end compiles every stage of it to SPIR-V. Unity's program
// against a stand-in for UnityCG.cginc, Unreal's Custom node bodies inside
// the functions Unreal wraps them in (tests/engines/hlsl/).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine_shot.h"

namespace kestrin::test {
namespace {

TEST(EngineShaders, UnityAndUnrealCodeCompilesAsHlsl) {
    if (!std::filesystem::exists(KESTRIN_GLSLANG)) {
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true") FAIL() << "no " KESTRIN_GLSLANG " (CI=true)";
        GTEST_SKIP() << "no " KESTRIN_GLSLANG;
    }
    struct Stage {
        const char* file;
        const char* stage;
        const char* entry;
        const char* includes;
    };
    const Stage stages[] = {
        {KESTRIN_ENGINES_DIR "/unity/KestrinVertexAnimation.hlsl", "vert", "KestrinVert", KESTRIN_ENGINE_DIR "/hlsl"},
        {KESTRIN_ENGINES_DIR "/unity/KestrinVertexAnimation.hlsl", "frag", "KestrinFrag", KESTRIN_ENGINE_DIR "/hlsl"},
        {KESTRIN_ENGINE_DIR "/hlsl/unreal_custom_nodes.hlsl", "vert", "main", KESTRIN_ENGINES_DIR "/unreal"},
    };
    ScratchDirectory scratch;
    for (const Stage& s : stages) {
        const std::string log = scratch.file("glslang.log");
        const std::string command = std::string(KESTRIN_GLSLANG) + " -D -V -S " + s.stage + " -e " + s.entry +
                                    " -o " + quoted(scratch.file("out.spv")) + " -I" + quoted(s.includes) + " " +
                                    quoted(s.file) + " > " + quoted(log) + " 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << s.file << " (" << s.stage << "):\n" << readText(log);
    }
}

}  // namespace
}  // namespace kestrin::test
