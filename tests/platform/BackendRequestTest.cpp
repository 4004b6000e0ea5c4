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

TEST(BackendRequest, ADeviceUriNamesAQueueOrAFolderAndAMalformedOneSaysWhatIsWrong)
{
    struct Good {
        const char* uri;
        BackendDevice::Kind kind;
        const char* target;
        size_t options;
        unsigned mode;
    };
    const Good goods[] = {
        {"quillon:/LASER", BackendDevice::Kind::Queue, "LASER", 0, 0644},
        {"quillon:///LASER?&font-size=10&&", BackendDevice::Kind::Queue, "LASER", 1, 0644},
        {"quillon:/Kolorowa%20HP", BackendDevice::Kind::Queue, "Kolorowa HP", 0, 0644},
        {"quillon:/pdf/srv/out//?mode=0640&emulation=lq", BackendDevice::Kind::PdfFolder, "/srv/out", 1, 0640},
    };
    for (const Good& g : goods) {
        SCOPED_TRACE(g.uri);
        std::string error;
        const auto device = parseDeviceUri(g.uri, error);
        ASSERT_TRUE(device) << error;
        EXPECT_EQ(device->kind, g.kind);
        EXPECT_EQ(device->target, g.target);
        EXPECT_EQ(device->options.size(), g.options);
        EXPECT_EQ(device->fileMode, g.mode);
    }
    const std::pair<const char*, const char*> bads[] = {
        {"ipp://host/LASER", "is not a quillon: URI"},
        {"quillon:LASER", "names no destination"},
        {"quillon:/", "names no destination"},
        {"quillon:/LAS%4", "names no destination"},
        {"quillon:/a/b", "names no queue"},
        {"quillon:/pdf///", "names no folder"},
        {"quillon:/LASER?font-size", "option \"font-size\" is not NAME=VALUE"},
        {"quillon:/LASER?colour=red", "unknown option \"colour\""},
        {"quillon:/pdf/out?mode=0666", "would let everyone change"},
    };
    for (const auto& [uri, reason] : bads) {
        SCOPED_TRACE(uri);
        std::string error;
        EXPECT_FALSE(parseDeviceUri(uri, error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
}
