// The settings in a real QSettings file, read by quillon-render --settings in a temporary home.

#include "core/TestFiles.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quillon::test;

namespace {

struct SettingsRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class Home {
public:
    Home()
    {
        std::filesystem::create_directories(dir.file("config/Terlo"));
        std::filesystem::create_directories(dir.file("home"));
    }
    std::string confFile() const { return dir.file("config/Terlo/QuillonPrint.conf"); }
    void writeConf(const std::string& text) const
    {
        std::ofstream(confFile(), std::ios::trunc) << text;
    }
    SettingsRun settings() const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.file("config")));
        env.insert("XDG_DATA_HOME", QString::fromStdString(dir.file("data")));
        env.insert("HOME", QString::fromStdString(dir.file("home")));
        p.setProcessEnvironment(env);
        p.start(QUILLON_RENDER, {"--settings"});
        p.waitForFinished(60000);
        return {p.exitCode(), p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
    }
    TempDir dir;
};

} // namespace

TEST(SettingsFile, AFreshHomeGetsTheDefaultsAndAnEmptyFile)
{
    Home home;
    std::filesystem::remove_all(home.dir.file("config/Terlo"));
    SettingsRun r = home.settings();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "FontName=Courier New\nFontSize=12\nPollingFreq=4\nPageOrient=P\nPreview=OFF\n"
                     "Emulation=simple\nPeekPath0=" + home.dir.file("home") + "/DOSPRN/*.prn\n");
    EXPECT_TRUE(std::filesystem::exists(home.confFile()));
    EXPECT_EQ(std::filesystem::file_size(home.confFile()), 0u);
}

TEST(SettingsFile, StoredValuesAreReadWithTheirRules)
{
    Home home;
    home.writeConf("[General]\nFontName=Liberation Mono\nFontSize=20\nPollingFreq=1\nPageOrient=l\n"
                   "Preview=ON\nEmulation=lq\nPeekPath0=/srv/dos/*.prn\nPeekPath1=\"/srv/with, comma/*.PRN\"\n"
                   "PeekPath3=/never/*.prn\n");
    SettingsRun r = home.settings();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "FontName=Liberation Mono\nFontSize=12\nPollingFreq=2\nPageOrient=P\nPreview=ON\n"
                     "Emulation=lq\nPeekPath0=/srv/dos/*.prn\nPeekPath1=/srv/with, comma/*.PRN\n");
}

TEST(SettingsFile, AnEmptyPatternListIsKept)
{
    Home home;
    home.writeConf("[General]\nPeekPath0=\n");
    SettingsRun r = home.settings();
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.find("PeekPath"), std::string::npos) << r.out;
}

TEST(SettingsFile, AValueOfTheWrongTypeIsAnError)
{
    Home home;
    for (const char* value : {"FontSize=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\f)", "FontSize=12, 13",
                              "FontSize=@ByteArray(12)"}) {
        home.writeConf(std::string("[General]\nFontName=X\n") + value + "\n");
        SettingsRun r = home.settings();
        EXPECT_EQ(r.exitCode, 1) << value;
        EXPECT_EQ(r.out, "") << value;
        EXPECT_NE(r.err.find("Niepoprawny typ danych dla \"FontSize\""), std::string::npos) << r.err;
    }
}
