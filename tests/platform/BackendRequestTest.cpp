// Which rendering options a backend job gets from its queue's device URI and its own options.

#include "BackendRequest.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(BackendRequest, TheEmulationComesFromTheQueueThenTheJobThenTheDefaultAsTheFontSizeDoes)
{
    struct Case {
        const char* uri;
        const char* jobOptions;
        PrinterEmulation emulation;
        int fontSize;
    };
    const Case cases[] = {
        {"quillon:/LASER?emulation=lq&font-size=10", "emulation=fx font-size=8", PrinterEmulation::Lq, 10},
        {"quillon:/LASER?emulation=lq&font-size=10", "emulation=bad font-size=40", PrinterEmulation::Lq, 10},
        {"quillon:/LASER", "job-uuid=urn:x emulation=fx font-size=8", PrinterEmulation::Fx, 8},
        {"quillon:/pdf/srv/out", "", PrinterEmulation::Simple, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.uri) + " / " + c.jobOptions);
        std::string error;
        const auto device = parseDeviceUri(c.uri, error);
        ASSERT_TRUE(device) << error;
        RenderOptions options;
        EXPECT_EQ(resolveRenderOptions(*device, c.jobOptions, options, error), OptionFault::None) << error;
        EXPECT_EQ(options.emulation, c.emulation);
        EXPECT_EQ(options.fontSize, c.fontSize);
    }
}
