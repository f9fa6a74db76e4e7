#include "plugins.h"

#include <gtest/gtest.h>

namespace kestrin::test {

int loadPlugin(host::Host& host, const std::string& path) {
    host.log.enable(true);
    std::string error;
    const int module = host.load(path, &error);
    EXPECT_GE(module, 0) << error;
    if (module >= 0) {
        EXPECT_EQ(host.module(module).entryResult, 0) << path;
    }
    return module;
}

}  // namespace kestrin::test
