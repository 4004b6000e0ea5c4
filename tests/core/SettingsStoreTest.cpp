#include "settings/KeyValueStore.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace quillon;

namespace {

// A registry key in memory, with values that can be made of the wrong type, unreadable, or
// refused on writing.
class MemoryStore : public KeyValueStore {
public:
    bool keyExists = false;
    bool canCreate = true;
    bool canDelete = true;
    std::vector<std::pair<std::string, std::string>> values; // in the order written
    std::set<std::string> wrongType, unreadable, refuse;

    bool openKey(const std::string& key) override
    {
        if (key != SettingsKey)
            return false;
        if (!keyExists && canCreate)
            keyExists = true;
        return keyExists;
    }
    Read readString(const std::string&, const std::string& name, std::string& value) override
    {
        if (wrongType.count(name))
            return Read::WrongType;
        if (unreadable.count(name))
            return Read::Unreadable;
        for (auto& [n, v] : values)
            if (n == name) {
                value = v;
                return Read::Found;
            }
        return Read::Missing;
    }
    Write writeString(const std::string&, const std::string& name, const std::string& value) override
    {
        if (refuse.count(name))
            return Write::Refused;
        for (auto& [n, v] : values)
            if (n == name) {
                v = value;
                return Write::Written;
            }
        values.emplace_back(name, value);
        return Write::Written;
    }
    bool deleteKeyTree(const std::string&) override
    {
        if (!canDelete)
            return false;
        values.clear();
        keyExists = false;
        return true;
    }
    void set(const std::string& name, const std::string& value) { writeString(SettingsKey, name, value); }
};

const std::string kDefault = "/home/user/DOSPRN/*.prn";

TSettings load(MemoryStore& store)
{
    TSettings s;
    ReadWriteSettings("READ", s, store, kDefault);
    return s;
}

} // namespace

TEST(SettingsStore, FreshAccountGetsTheDefaultsAndAnEmptyKey)
{
    MemoryStore store;
    TSettings s = load(store);
    EXPECT_TRUE(store.keyExists);
    EXPECT_TRUE(store.values.empty());
    EXPECT_EQ(s.FontName, "Courier New");
    EXPECT_EQ(s.FontSize, 12);
    EXPECT_EQ(s.PollingFreq, 4);
    EXPECT_EQ(s.PageOrient, "P");
    EXPECT_FALSE(s.Preview);
    EXPECT_EQ(s.PeekPaths, std::vector<std::string>{kDefault});
    EXPECT_EQ(s.Emulation, PrinterEmulation::Simple);
}

TEST(SettingsStore, NumbersAreParsedAndLimited)
{
    struct Case {
        const char* font;
        int fontSize;
        const char* poll;
        int pollingFreq;
    };
    for (Case c : {Case{"20", 12, "1", 2}, Case{"3", 6, "60", 10}, Case{"abc", 12, "", 4},
                   Case{"9", 9, "7", 7}, Case{"+8", 8, "-3", 2}, Case{"10x", 12, " 5", 4}}) {
        MemoryStore store;
        store.set("FontSize", c.font);
        store.set("PollingFreq", c.poll);
        TSettings s = load(store);
        EXPECT_EQ(s.FontSize, c.fontSize) << c.font;
        EXPECT_EQ(s.PollingFreq, c.pollingFreq) << c.poll;
    }
}

TEST(SettingsStore, ComparisonsAreExact)
{
    MemoryStore store;
    store.set("Preview", "on");
    store.set("PageOrient", "l");
    TSettings s = load(store);
    EXPECT_FALSE(s.Preview);
    EXPECT_EQ(s.PageOrient, "P");
    store.set("Preview", "ON");
    store.set("PageOrient", "L");
    s = load(store);
    EXPECT_TRUE(s.Preview);
    EXPECT_EQ(s.PageOrient, "L");
    store.set("PageOrient", "X");
    EXPECT_EQ(load(store).PageOrient, "P");
    store.set("FontName", "");
    EXPECT_EQ(load(store).FontName, "");
}

TEST(SettingsStore, TheEmulationComesBackAsStoredAndAnyOtherTextIsTheSimplePrinter)
{
    for (PrinterEmulation e : {PrinterEmulation::Fx, PrinterEmulation::Lq, PrinterEmulation::Simple}) {
        MemoryStore store;
        TSettings s;
        s.Emulation = e;
        ReadWriteSettings("WRITE", s, store, kDefault);
        EXPECT_EQ(load(store).Emulation, e) << emulationName(e);
    }
    for (const char* text : {"LQ", "lq ", "epson", "", "fx\n"}) {
        MemoryStore store;
        store.set("Emulation", "fx");
        store.set("Emulation", text);
        EXPECT_EQ(load(store).Emulation, PrinterEmulation::Simple) << text;
    }
    MemoryStore wrong;
    wrong.wrongType = {"Emulation"};
    TSettings s;
    s.Emulation = PrinterEmulation::Lq;
    EXPECT_THROW(ReadWriteSettings("READ", s, wrong, kDefault), ESettingsError);
    EXPECT_EQ(s.Emulation, PrinterEmulation::Lq) << "an unreadable value changes nothing";
}

TEST(SettingsStore, PatternListStopsAtTheFirstGap)
{
    MemoryStore store;
    store.set("PeekPath0", "/a/*.prn");
    store.set("PeekPath1", "/b/*.PRN");
    store.set("PeekPath3", "/d/*.prn");
    EXPECT_EQ(load(store).PeekPaths, (std::vector<std::string>{"/a/*.prn", "/b/*.PRN"}));

    MemoryStore empty;
    empty.set("PeekPath0", "");
    EXPECT_TRUE(load(empty).PeekPaths.empty());

    MemoryStore many;
    for (int i = 0; i < 120; ++i)
        many.set("PeekPath" + std::to_string(i), "/p" + std::to_string(i) + "/*.prn");
    EXPECT_EQ(load(many).PeekPaths.size(), 100u);
}

TEST(SettingsStore, StoreWritesExactlyTheRecordInOrder)
{
    MemoryStore store;
    store.set("Stale", "x");
    store.set("PeekPath5", "/old/*.prn");
    TSettings s;
    s.FontName = "Liberation Mono";
    s.FontSize = 9;
    s.PollingFreq = 3;
    s.PageOrient = "L";
    s.Preview = true;
    s.PeekPaths = {"/a/*.prn", "/b/*.prn"};
    ReadWriteSettings("WRITE", s, store, kDefault);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"FontName", "Liberation Mono"}, {"FontSize", "9"},    {"PollingFreq", "3"},
        {"PeekPath0", "/a/*.prn"},       {"PeekPath1", "/b/*.prn"}, {"PageOrient", "L"},
        {"Preview", "ON"},        {"Emulation", "simple"},
    };
    EXPECT_EQ(store.values, expected);

    ReadWriteSettings("write", s, store, kDefault); // any other word does nothing
    ReadWriteSettings("READ ", s, store, kDefault);
    EXPECT_EQ(store.values, expected);

    // Of 101 patterns the 100 that a load brings back are stored, and nothing beyond them.
    s.PeekPaths.clear();
    for (int i = 0; i < 101; ++i)
        s.PeekPaths.push_back("/p" + std::to_string(i));
    ReadWriteSettings("WRITE", s, store, kDefault);
    EXPECT_EQ(store.values.size(), 6u + 100u);
    TSettings back = load(store);
    EXPECT_EQ(back.PeekPaths, std::vector<std::string>(s.PeekPaths.begin(), s.PeekPaths.begin() + 100));
    ReadWriteSettings("WRITE", back, store, kDefault);
    EXPECT_EQ(load(store).PeekPaths, back.PeekPaths) << "a store and a load lose nothing";
}

TEST(SettingsStore, AnEmptyPatternListStaysEmpty)
{
    MemoryStore store;
    TSettings s;
    s.PeekPaths.clear();
    ReadWriteSettings("WRITE", s, store, kDefault);
    TSettings back = load(store);
    EXPECT_TRUE(back.PeekPaths.empty()) << "the user's empty list must not turn into the default";
}

TEST(SettingsStore, ErrorsStopTheLoadWhereTheyHappen)
{
    MemoryStore store;
    store.set("FontName", "Custom");
    store.set("FontSize", "7");
    store.wrongType = {"PollingFreq"};
    TSettings s;
    s.PollingFreq = 9;
    try {
        ReadWriteSettings("READ", s, store, kDefault);
        FAIL() << "no error";
    } catch (const ESettingsError& e) {
        EXPECT_EQ(e.message(), "Niepoprawny typ danych dla \"PollingFreq\"");
    }
    EXPECT_EQ(s.FontName, "Custom");
    EXPECT_EQ(s.FontSize, 7);
    EXPECT_EQ(s.PollingFreq, 9) << "fields after the error keep what they held";

    MemoryStore paths;
    paths.set("PeekPath0", "/a");
    paths.set("PeekPath1", "/b");
    paths.unreadable = {"PeekPath1"};
    TSettings p;
    try {
        ReadWriteSettings("READ", p, paths, kDefault);
        FAIL() << "no error";
    } catch (const ESettingsError& e) {
        EXPECT_EQ(e.message(), "Nie można pobrać danych z \"PeekPath1\"");
    }
    EXPECT_EQ(p.PeekPaths, std::vector<std::string>{"/a"});
}

TEST(SettingsStore, WriteFailures)
{
    MemoryStore refused;
    refused.refuse = {"PollingFreq"};
    TSettings s;
    try {
        ReadWriteSettings("WRITE", s, refused, kDefault);
        FAIL() << "no error";
    } catch (const ESettingsError& e) {
        EXPECT_EQ(e.message(), "Nie można wpisać danych do \"PollingFreq\"");
    }
    EXPECT_EQ(refused.values.size(), 2u) << "only the values before the failure";

    MemoryStore locked;
    locked.set("FontName", "Kept");
    locked.canDelete = false;
    ReadWriteSettings("WRITE", s, locked, kDefault);
    EXPECT_EQ(locked.values.size(), 1u) << "nothing is written when the key cannot be deleted";

    MemoryStore noKey;
    noKey.canCreate = false;
    noKey.canDelete = true;
    ReadWriteSettings("WRITE", s, noKey, kDefault); // every value skipped silently
    EXPECT_TRUE(noKey.values.empty());
    EXPECT_EQ(load(noKey).FontSize, 12);
}
