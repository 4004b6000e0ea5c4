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
    using namespace settings;
    auto line = [](const std::string& name, const std::string& value) { return name + "=" + value + "\n"; };
    std::string text = line(kFontName, s.FontName) + line(kFontSize.name, std::to_string(s.FontSize))
        + line(kPollingFreq.name, std::to_string(s.PollingFreq)) + line(kPageOrient, s.PageOrient)
        + line(kPreview, s.Preview ? kOn : kOff) + line(kEmulation, std::string(emulationName(s.Emulation)));
    for (size_t i = 0; i < s.PeekPaths.size(); ++i)
        text += line(peekPathName(int(i)), s.PeekPaths[i]);
    return text;
}

} // namespace quillon
