// The shot pipeline's ordering under uneven stage times: a write that holds
// its slot while everything else has moved on must not stall the run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "pipeline.h"

namespace kestrin::tool {
namespace {

TEST(Pipeline, EveryPoseOnceInOrderWhenOneWriteLagsFarBehind) {
    for (unsigned jobs : {1u, 2u, 3u}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        constexpr size_t poses = 40;
        std::mutex mutex;
        std::vector<int> reads(poses), writes(poses);
        std::vector<size_t> computed;
        bool prepared = false;
        bool computedBeforePrepare = false;
        PipelineStages stages;
        stages.prepare = [&] { prepared = true; };
        stages.read = [&](size_t pose, size_t) {
            std::lock_guard<std::mutex> lock(mutex);
            ++reads[pose];
        };
        stages.compute = [&](size_t pose, size_t) {
            computedBeforePrepare |= !prepared;
            std::lock_guard<std::mutex> lock(mutex);
            EXPECT_EQ(reads[pose], 1) << "pose " << pose << " computed before it was read";
            computed.push_back(pose);
        };
        stages.write = [&](size_t pose, size_t) {
            // The first write takes long enough for every other pose of its
            // slot's turn to be read, computed and written.
            if (pose == 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::lock_guard<std::mutex> lock(mutex);
            ++writes[pose];
        };
        auto run = std::async(std::launch::async, [&] { runPipeline(poses, jobs, pipelineSlots(jobs), stages); });
        if (run.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            std::fprintf(stderr, "the pipeline stalled with %u jobs\n", jobs);
            std::_Exit(1);  // its threads still wait on this test's locals
        }
        run.get();
        EXPECT_FALSE(computedBeforePrepare);
        ASSERT_EQ(computed.size(), poses);
        for (size_t pose = 0; pose < poses; ++pose) {
            EXPECT_EQ(computed[pose], pose);
            EXPECT_EQ(reads[pose], 1);
            EXPECT_EQ(writes[pose], 1);
        }
    }
}

}  // namespace
}  // namespace kestrin::tool
