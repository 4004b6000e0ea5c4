#include "SettingsAccess.h"

#include "QSettingsStore.h"
#include "settings/SettingsStore.h"

namespace quillon {

namespace {

bool readWrite(const char* mode, TSettings& settings, std::string& error)
{
    QSettingsStore store;
    try {
        ReadWriteSettings(mode, settings, store, defaultFolderPattern());
    } catch (const ESettingsError& e) {
        error = e.message();
        return false;
    }
    return true;
}

} // namespace

bool loadSettings(TSettings& settings, std::string& error)
{
    return readWrite("READ", settings, error);
}

bool storeSettings(const TSettings& settings, std::string& error)
{
    TSettings copy = settings;
    return readWrite("WRITE", copy, error);
}

std::string describeSettings(const TSettings& s)
{
    std::string text;
    text += "FontName=" + s.FontName + "\n";
    text += "FontSize=" + std::to_string(s.FontSize) + "\n";
    text += "PollingFreq=" + std::to_string(s.PollingFreq) + "\n";
    text += "PageOrient=" + s.PageOrient + "\n";
    text += std::string("Preview=") + (s.Preview ? "ON" : "OFF") + "\n";
    for (size_t i = 0; i < s.PeekPaths.size(); ++i)
        text += "PeekPath" + std::to_string(i) + "=" + s.PeekPaths[i] + "\n";
    return text;
}

} // namespace quillon
