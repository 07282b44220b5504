// The tools' messages: one line on standard error under the tool's own name.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "Fatal.h"
#include "ToolOptions.h"

namespace talvo::tools {
namespace {

TEST(RunTool, MessagesBeginWithTheToolsName) {
    struct Ending {
        std::function<void()> body;
        std::string err;
    };
    const Ending endings[] = {
        {[] { throw std::invalid_argument("give either --model or --folds"); },
         "talvo-eval: give either --model or --folds (see talvo-eval --help)\n"},
        {[] { throw std::runtime_error("in.fa line 2: no sequence"); }, "talvo-eval: in.fa line 2: no sequence\n"},
        // The engine's messages are written for talvo.
        {[] { throw FatalError(Stream::Err, "talvo: p line 3: rule out of range\n"); },
         "talvo-eval: p line 3: rule out of range\n"},
        {[] { throw FatalError(Stream::Out, "ioerr:can not open p\n"); }, "talvo-eval: ioerr:can not open p\n"},
    };
    for (const Ending& e : endings) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(RunTool("talvo-eval", e.body), 1);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), e.err);
    }
}

}  // namespace
}  // namespace talvo::tools
