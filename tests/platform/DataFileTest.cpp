// An installed program finds the files it only reads (the help page) where it is installed.

#include "AppPaths.h"
#include "core/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

TEST(DataFile, BesideTheProgramFirstThenInTheInstalledDataFolder)
{
    TempDir dir;
    fs::create_directories(dir.file("usr/bin"));
    fs::create_directories(dir.file("usr/share/quillon-print"));
    const std::string bin = dir.file("usr/bin");
    EXPECT_EQ(dataFilePath("Pomoc-test-nowhere.html", bin), "") << "nowhere";

    writeFile(dir.file("usr/share/quillon-print/Pomoc-test.html"), {'i'});
    EXPECT_EQ(dataFilePath("Pomoc-test.html", bin), dir.file("usr/share/quillon-print/Pomoc-test.html"));

    writeFile(dir.file("usr/bin/Pomoc-test.html"), {'b'});
    EXPECT_EQ(dataFilePath("Pomoc-test.html", bin), dir.file("usr/bin/Pomoc-test.html"))
        << "a build folder's copy comes first";

    fs::create_directories(dir.file("usr/bin/Folder.html"));
    fs::create_directories(dir.file("usr/share/quillon-print/Folder.html"));
    EXPECT_EQ(dataFilePath("Folder.html", bin), "") << "a folder is not a file";
}
