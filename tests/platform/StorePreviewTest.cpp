// The pages a preview shows: a spool file rendered into a temporary page store that goes with
// the preview, or a store opened as it is.

#include "AppFactory.h"
#include "PageStoreDocument.h"
#include "core/TestFiles.h"
#include "report/ReportProgress.h"
#include "report/VxReport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

TEST(StorePreview, ASpoolFileIsShownFromATemporaryStoreThatGoesWithThePreview)
{
    SilentProgress progress;
    std::string store;
    int pages = 0;
    {
        StorePreview preview(progress);
        RenderOptions options;
        options.input = QUILLON_TEST_DATA "/showcase.prn";
        ASSERT_TRUE(preview.open(options).ok());
        store = preview.report().ReportFile;
        EXPECT_NE(store.find("/quillon-preview-"), std::string::npos) << store;
        EXPECT_TRUE(fs::exists(store));
        EXPECT_EQ(preview.report().ReportTitle, "showcase.prn");
        ASSERT_TRUE(preview.report().OpenPageStore()); // the window opens it when it shows
        pages = PageStoreDocument(preview.report(), options.codePage).pageCount();
        EXPECT_GT(pages, 0);

        // The store itself is shown as it is, and stays.
        StorePreview again(progress);
        options.input = store;
        ASSERT_TRUE(again.open(options).ok());
        EXPECT_EQ(again.report().ReportFile, store);
        ASSERT_TRUE(again.report().OpenPageStore());
        EXPECT_EQ(PageStoreDocument(again.report(), options.codePage).pageCount(), pages);
    }
    EXPECT_FALSE(fs::exists(fs::path(store).parent_path())) << "the temporary store is left behind";

    StorePreview missing(progress);
    RenderOptions options;
    options.input = "/nonexistent/raport.prn";
    const JobResult result = missing.open(options);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.message, "cannot open /nonexistent/raport.prn: no such file");
}
