// The per-user settings file: where it lives, how its values read, what is
// written, and files that are missing, unwritable, malformed or shared.

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "platform/IniFile.h"
#include "support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;

namespace {

std::array<int32_t, Synth::kControllers> NoMapping() {
    std::array<int32_t, Synth::kControllers> map;
    map.fill(-1);
    return map;
}

TEST(Settings, FirstInstanceCreatesEveryMissingFolderAndAnEmptyFile) {
    const std::string home = FreshSettings();
    // A fresh account: not even the configuration folder exists.
    setenv("XDG_CONFIG_HOME", (home + "/no/such/config").c_str(), 1);
    const char* localeBefore = std::setlocale(LC_ALL, nullptr);
    const std::string locale = localeBefore ? localeBefore : "";
    TestSynth synth;

    const std::string path = home + "/no/such/config/KelpmoorMusic/halvane.ini";
    EXPECT_EQ(synth.SettingsFile(), path);
    EXPECT_TRUE(ReadText(path).empty());
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(synth.DocumentsPath(), home);
    EXPECT_EQ(synth.ProgramFilesFolder(), home);
    EXPECT_EQ(synth.ControllerMap(), NoMapping());
    EXPECT_FALSE(synth.MidiThru());
    EXPECT_FALSE(synth.IgnoreProgramChange());
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), locale)
        << "a plug-in leaves its host's locale alone";
}

TEST(Settings, ValuesReadAsTheFileStatesThem) {
    const std::string home = FreshSettings();
    MakeFolders(home + "/config/KelpmoorMusic");
    WriteText(SettingsPathIn(home), "[MIDI Global]\nMIDI Thru=TRUE\nIgnore Program Change=yes\n"
                                    "[Startup Bank]\nFile=/banks/mine.fxb\n"
                                    "[Global]\nPath to Program Files=/sounds\n"
                                    "[MIDI Control]\nCC5=abc\nCC6=0\nCC7=7x\nCC8=\nCC9=-0\n"
                                    "CC10=+12\nCC0=-5\nCC2=99999999999\nCC119=92\nCC120=3\n");
    TestSynth synth;
    EXPECT_TRUE(synth.MidiThru()) << "true in any letter case";
    EXPECT_FALSE(synth.IgnoreProgramChange()) << "any other text is false";
    EXPECT_EQ(synth.ProgramFilesFolder(), "/sounds");
    EXPECT_EQ(synth.StartupBank(), "/banks/mine.fxb");
    EXPECT_EQ(MakeHalvane()->StartupBank(), "")
        << "a startup bank that does not load is forgotten by the instance";
    EXPECT_NE(ReadText(SettingsPathIn(home)).find("/banks/mine.fxb"), std::string::npos)
        << "but stays in the file for the next one";

    const auto& map = synth.ControllerMap();
    EXPECT_EQ(map[5], -1) << "a word";
    EXPECT_EQ(map[6], 0);
    EXPECT_EQ(map[7], 7) << "the leading number";
    EXPECT_EQ(map[8], -1) << "present but empty keeps the entry";
    EXPECT_EQ(map[9], -1) << "0 read from a text not starting with the digit 0";
    EXPECT_EQ(map[10], 12);
    EXPECT_EQ(map[0], -5) << "out-of-range values are kept as read";
    EXPECT_EQ(map[2], 2147483647) << "held to 32 bits";
    EXPECT_EQ(map[119], 92);

    // Empty values leave what the instance holds.
    synth.SetControllerMapping(8, 4);
    WriteText(SettingsPathIn(home), "[MIDI Global]\nMIDI Thru=\nIgnore Program Change=TrUe\n"
                                    "[MIDI Control]\nCC8=\n");
    synth.ReadConfiguration();
    EXPECT_TRUE(synth.MidiThru());
    EXPECT_TRUE(synth.IgnoreProgramChange());
    EXPECT_EQ(synth.ControllerMap()[8], 4);
    EXPECT_EQ(synth.ControllerMap()[119], -1) << "missing keys mean no parameter";
    EXPECT_EQ(synth.StartupBank(), "");
    EXPECT_EQ(synth.ProgramFilesFolder(), "/sounds") << "a missing folder key keeps the folder";
}

TEST(Settings, MissingFileReadsTheDefaultsOfMissingKeys) {
    const std::string home = FreshSettings();
    TestSynth synth;
    synth.SetMidiThru(true);
    synth.SetControllerMapping(74, 13);
    ASSERT_EQ(unlink(synth.SettingsFile().c_str()), 0);
    EXPECT_EQ(synth.ReadConfiguration(), Synth::ConfigStatus::kFileMissing);
    EXPECT_TRUE(synth.MidiThru());
    EXPECT_EQ(synth.ControllerMap(), NoMapping());
}

TEST(Settings, WritingStoresMappedControllersOnlyAndTheGlobalsApart) {
    const std::string home = FreshSettings();
    TestSynth synth;
    synth.SetControllerMapping(0, 5);
    synth.SetControllerMapping(119, 92);
    synth.SetMidiThru(true);
    synth.WriteConfiguration(false);
    IniDocument ini;
    ASSERT_TRUE(ini.Load(synth.SettingsFile()));
    EXPECT_EQ(ini.Get("MIDI Global", "MIDI Thru", "", 63), "true");
    EXPECT_EQ(ini.Get("MIDI Global", "Ignore Program Change", "", 63), "false");
    EXPECT_EQ(ini.Get("MIDI Control", "CC0", "", 63), "5");
    EXPECT_EQ(ini.Get("MIDI Control", "CC119", "", 63), "92");
    EXPECT_FALSE(ini.HasKey("MIDI Control", "CC1"));

    // The globals alone leave the controller section as it is.
    synth.SetControllerMapping(0, -1);
    synth.SetMidiThru(false);
    synth.WriteConfiguration(true);
    ASSERT_TRUE(ini.Load(synth.SettingsFile()));
    EXPECT_EQ(ini.Get("MIDI Global", "MIDI Thru", "", 63), "false");
    EXPECT_EQ(ini.Get("MIDI Control", "CC0", "", 63), "5");

    // Nothing mapped: an empty section.
    synth.SetControllerMapping(119, -1);
    synth.WriteConfiguration(false);
    ASSERT_TRUE(ini.Load(synth.SettingsFile()));
    EXPECT_TRUE(ini.HasSection("MIDI Control"));
    EXPECT_EQ(ReadText(synth.SettingsFile()).find("CC"), std::string::npos);
}

TEST(Settings, StartupBankAndProgramFolderAreWrittenAtOnce) {
    const std::string home = FreshSettings();
    TestSynth synth;
    synth.SetStartupBank("/banks/a.fxb");
    EXPECT_EQ(synth.StartupBank(), "/banks/a.fxb");
    IniDocument ini;
    ASSERT_TRUE(ini.Load(synth.SettingsFile()));
    EXPECT_EQ(ini.Get("Startup Bank", "File", "", 259), "/banks/a.fxb");

    synth.ClearStartupBank();
    EXPECT_EQ(synth.StartupBank(), "");
    ASSERT_TRUE(ini.Load(synth.SettingsFile()));
    EXPECT_TRUE(ini.HasSection("Startup Bank"));
    EXPECT_FALSE(ini.HasKey("Startup Bank", "File"));

    const std::string folder = "/my/sounds";
    synth.WriteProgramFilesPath(&folder);
    synth.WriteProgramFilesPath();
    ASSERT_TRUE(ini.Load(synth.SettingsFile()));
    EXPECT_EQ(ini.Get("Global", "Path to Program Files", "", 259), "/my/sounds");
}

TEST(Settings, InstancesShareTheFileAndTheLastWriterWins) {
    FreshSettings();
    TestSynth first;
    TestSynth second;
    first.SetControllerMapping(7, 3);
    first.WriteConfiguration(false);
    second.SetControllerMapping(9, 4);
    second.WriteConfiguration(false);
    EXPECT_EQ(first.ControllerMap()[9], -1) << "changes are seen only after a reload";
    first.ReadConfiguration();
    EXPECT_EQ(first.ControllerMap()[7], -1);
    EXPECT_EQ(first.ControllerMap()[9], 4);
}

TEST(Settings, MalformedFilesNeverBreakReading) {
    const std::string home = FreshSettings();
    MakeFolders(home + "/config/KelpmoorMusic");
    std::string junk = "[MIDI Control]\nCC5=3\nCC5=9\n[MIDI Control]\nCC6=8\n";
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 7919) & 0xFF);
    junk += "\n" + std::string(200000, 'x') + "=1\n[MIDI Global\nMIDI Thru=true\n";
    WriteText(SettingsPathIn(home), junk);
    TestSynth synth;
    EXPECT_EQ(synth.ControllerMap()[5], 3) << "the first of duplicated keys";
    EXPECT_EQ(synth.ControllerMap()[6], -1) << "the first of duplicated sections";
    for (int32_t entry : synth.ControllerMap())
        EXPECT_TRUE(entry == -1 || entry == 3);
}

TEST(Settings, UnwritableFolderLeavesTheInstanceWorking) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string home = FreshSettings();
    MakeFolders(home + "/config/KelpmoorMusic");
    chmod((home + "/config/KelpmoorMusic").c_str(), 0555);
    TestSynth synth;
    EXPECT_EQ(synth.ReadConfiguration(), Synth::ConfigStatus::kFileMissing);
    synth.SetMidiThru(true);
    synth.WriteConfiguration(false);
    EXPECT_TRUE(synth.MidiThru());
    chmod((home + "/config/KelpmoorMusic").c_str(), 0755);
}

} // namespace

} // namespace halvane
