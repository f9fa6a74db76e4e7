// Loading through the session reports a plug-in's own failure message.
#include <gtest/gtest.h>

#include "plugins.h"
#include "session.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

TEST(Session, EntryFailureCarriesThePluginsMessage) {
    Session session(".");
    session.host().withhold("fxObjectSetParent");
    try {
        session.load(test::strainmarkPath);
        FAIL() << "loaded";
    } catch (const ToolError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("entry failed with 4"), std::string::npos) << message;
        EXPECT_NE(message.find("Strainmark: fxObjectSetParent could not be found!"), std::string::npos)
            << message;
    }
}

}  // namespace
}  // namespace kestrin::tool
