#include "platform/Module.h"
#include "platform/UserFolders.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace halvane {

namespace {

const char kInThisExecutable = 0;

// Sets or clears environment variables for one test and puts them back after.
class ScopedEnvironment {
public:
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->wasSet)
                ::setenv(it->name.c_str(), it->value.c_str(), 1);
            else
                ::unsetenv(it->name.c_str());
        }
    }
    void Set(const char* name, const std::string& value) {
        Save(name);
        ::setenv(name, value.c_str(), 1);
    }
    void Unset(const char* name) {
        Save(name);
        ::unsetenv(name);
    }

private:
    struct Saved {
        std::string name;
        bool wasSet;
        std::string value;
    };
    void Save(const char* name) {
        const char* value = std::getenv(name);
        saved_.push_back({name, value != nullptr, value ? value : ""});
    }
    std::vector<Saved> saved_;
};

class UserFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvane-home-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home_ = pattern;
        environment_.Set("HOME", home_);
        environment_.Unset("XDG_CONFIG_HOME");
        environment_.Unset("XDG_DOCUMENTS_DIR");
    }
    void TearDown() override {
        std::string command = "rm -rf '" + home_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    void MakeFolder(const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0755), 0); }
    void WriteFile(const std::string& path, const std::string& text) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    std::string ReadFile(const std::string& path) {
        std::string text;
        if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
            int c;
            while ((c = std::fgetc(file)) != EOF)
                text += static_cast<char>(c);
            std::fclose(file);
        }
        return text;
    }

    ScopedEnvironment environment_;
    std::string home_;
};

TEST_F(UserFoldersTest, SettingsLiveInTheConfigurationFolder) {
    EXPECT_EQ(SettingsFolder(), home_ + "/.config/KelpmoorMusic");
    EXPECT_EQ(SettingsFilePath(), home_ + "/.config/KelpmoorMusic/halvane.ini");

    environment_.Set("XDG_CONFIG_HOME", "/srv/conf/");
    EXPECT_EQ(SettingsFolder(), "/srv/conf/KelpmoorMusic");
    EXPECT_EQ(SettingsFilePath(), "/srv/conf/KelpmoorMusic/halvane.ini");

    // Empty and relative values are ignored, as the XDG rules ask.
    environment_.Set("XDG_CONFIG_HOME", "");
    EXPECT_EQ(SettingsFolder(), home_ + "/.config/KelpmoorMusic");
    environment_.Set("XDG_CONFIG_HOME", "relative/conf");
    EXPECT_EQ(SettingsFolder(), home_ + "/.config/KelpmoorMusic");

    environment_.Set("HOME", home_ + "//");
    EXPECT_EQ(HomeFolder(), home_);
}

TEST_F(UserFoldersTest, WithoutHomeThePasswordDatabaseAnswers) {
    environment_.Unset("HOME");
    passwd* entry = ::getpwuid(::getuid());
    if (!entry || !entry->pw_dir || entry->pw_dir[0] != '/')
        GTEST_SKIP() << "this account has no home folder in the password database";
    std::string expected = entry->pw_dir;
    while (expected.size() > 1 && expected.back() == '/')
        expected.pop_back();
    EXPECT_EQ(HomeFolder(), expected);
    EXPECT_EQ(SettingsFolder().rfind(expected, 0), 0u);
}

TEST_F(UserFoldersTest, DocumentsFolderFollowsUserDirs) {
    // Nothing configured: the home folder.
    EXPECT_EQ(DocumentsFolder(), home_);

    MakeFolder(home_ + "/.config");
    WriteFile(home_ + "/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                                 "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                 "XDG_DOCUMENTS_DIR=\"$HOME/Old Docs\"\n"
                                                 "  XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"/\"\n"
                                                 "XDG_DOCUMENTS_DIR_EXTRA=\"$HOME/wrong\"\n");
    // Named but missing: still the home folder.
    EXPECT_EQ(DocumentsFolder(), home_);
    MakeFolder(home_ + "/My \"Docs\"");
    EXPECT_EQ(DocumentsFolder(), home_ + "/My \"Docs\"");

    // An absolute path, in a user-dirs.dirs under XDG_CONFIG_HOME.
    MakeFolder(home_ + "/xdg");
    MakeFolder(home_ + "/papers");
    WriteFile(home_ + "/xdg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=" + home_ + "/papers\n");
    environment_.Set("XDG_CONFIG_HOME", home_ + "/xdg");
    EXPECT_EQ(DocumentsFolder(), home_ + "/papers");

    // The environment wins over the file; "${HOME}" expands too.
    MakeFolder(home_ + "/env docs");
    environment_.Set("XDG_DOCUMENTS_DIR", "${HOME}/env docs");
    EXPECT_EQ(DocumentsFolder(), home_ + "/env docs");
    // A relative value means nothing.
    environment_.Set("XDG_DOCUMENTS_DIR", "env docs");
    EXPECT_EQ(DocumentsFolder(), home_ + "/papers");
}

TEST_F(UserFoldersTest, FolderAndFileOperations) {
    std::string settings = home_ + "/.config";
    EXPECT_FALSE(FolderExists(settings));
    // One level only: the settings folder needs its parent.
    EXPECT_FALSE(EnsureFolder(settings + "/KelpmoorMusic"));
    EXPECT_TRUE(EnsureFolder(settings));
    EXPECT_TRUE(EnsureFolder(settings));
    EXPECT_TRUE(EnsureFolder(settings + "/KelpmoorMusic"));
    EXPECT_TRUE(FolderExists(settings + "/KelpmoorMusic"));
    EXPECT_FALSE(EnsureFolder(""));

    std::string file = settings + "/KelpmoorMusic/halvane.ini";
    EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(CreateEmptyFile(file));
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(ReadFile(file), "");
    // An existing file is never truncated.
    WriteFile(file, "[MIDI Global]\nMIDI Thru=true\n");
    EXPECT_TRUE(CreateEmptyFile(file));
    EXPECT_EQ(ReadFile(file), "[MIDI Global]\nMIDI Thru=true\n");

    EXPECT_FALSE(FileExists(settings));
    EXPECT_FALSE(FolderExists(file));
    EXPECT_FALSE(EnsureFolder(file));
    EXPECT_FALSE(CreateEmptyFile(settings));
    EXPECT_FALSE(CreateEmptyFile(home_ + "/missing/halvane.ini"));
    EXPECT_FALSE(FileExists(""));

    // The atomic replace keeps the permissions of the file it replaces.
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    EXPECT_TRUE(WriteFileAtomically(file, "replaced"));
    EXPECT_EQ(ReadFile(file), "replaced");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_FALSE(WriteFileAtomically(settings, "x"));
    EXPECT_FALSE(WriteFileAtomically("", "x"));
}

TEST(Module, IsTheFileThisCodeWasLinkedInto) {
    // Linked statically into this test, the module is the test executable.
    char expected[PATH_MAX];
    ASSERT_NE(::realpath("/proc/self/exe", expected), nullptr);
    EXPECT_EQ(ModulePath(), expected);
    std::string path = expected;
    EXPECT_EQ(ModuleFolder(), path.substr(0, path.rfind('/')));

    Dl_info info{};
    ASSERT_NE(::dladdr(&kInThisExecutable, &info), 0);
    EXPECT_NE(ModuleHandle(), nullptr);
    EXPECT_EQ(ModuleHandle(), info.dli_fbase);
}

} // namespace

} // namespace halvane
