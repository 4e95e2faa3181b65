#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace halvane {

namespace {

// A literal with its embedded NUL bytes, without the terminating one.
template <std::size_t N> std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvane-ini-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        path_ = folder_ + "/halvane.ini";
    }
    void TearDown() override {
        ::chmod(folder_.c_str(), 0755);
        std::string command = "rm -rf '" + folder_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    static void Write(const std::string& path, const std::string& bytes) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fclose(file);
    }
    static std::string Read(const std::string& path) {
        std::string bytes;
        if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
            char chunk[4096];
            std::size_t got;
            while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
                bytes.append(chunk, got);
            std::fclose(file);
        }
        return bytes;
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(folder_.c_str())) {
            while (dirent* entry = ::readdir(dir)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            ::closedir(dir);
        }
        return names;
    }
    std::string Get(const char* section, const char* key, const char* fallback = "<none>",
                    std::size_t maxChars = 259) const {
        return IniRead(path_, section, key, fallback, maxChars);
    }

    std::string folder_;
    std::string path_;
};

TEST_F(IniFileTest, ReadsLikeThePrivateProfileFunctions) {
    Write(path_, "[MIDI Global]\r\n"
                 "  midi thru =  TRUE  \r\n"
                 "Ignore Program Change=\r\n"
                 "[ Startup Bank ]\r\n"
                 "File = \"  C:\\banks\\my bank.fxb  \" \r\n"
                 "Single='x'\r\n"
                 "Mixed=\"abc'\r\n"
                 "Lone=\"\r\n"
                 "Digits=0123456789\r\n");
    // Names ignore case and surrounding blanks; values are trimmed.
    EXPECT_EQ(Get("midi global", "MIDI THRU"), "TRUE");
    EXPECT_EQ(Get("Startup Bank", "file"), "  C:\\banks\\my bank.fxb  ");
    // An empty value is a value, not a missing key.
    EXPECT_EQ(Get("MIDI Global", "Ignore Program Change"), "");
    // Only a matching pair of quotes is removed.
    EXPECT_EQ(Get("Startup Bank", "Single"), "x");
    EXPECT_EQ(Get("Startup Bank", "Mixed"), "\"abc'");
    EXPECT_EQ(Get("Startup Bank", "Lone"), "\"");

    EXPECT_EQ(Get("MIDI Global", "Missing", "-1"), "-1");
    EXPECT_EQ(Get("Missing", "File", "dflt  "), "dflt");
    EXPECT_EQ(Get("MIDI Global", nullptr, "d"), "d");
    EXPECT_EQ(Get(nullptr, "File", "d"), "d");
    EXPECT_EQ(Get("Missing", "File", nullptr), "");
    EXPECT_EQ(IniRead(folder_ + "/absent.ini", "MIDI Global", "MIDI Thru", "false", 63), "false");

    // The result is cut to the caller's buffer, for values and defaults alike.
    EXPECT_EQ(Get("Startup Bank", "Digits", "", 4), "0123");
    EXPECT_EQ(Get("Startup Bank", "Nope", "abcdef", 2), "ab");
    EXPECT_EQ(Get("Startup Bank", "Digits", "", 0), "");
    char buffer[5] = "zzzz";
    EXPECT_EQ(IniRead(path_, "Startup Bank", "Digits", "", buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "0123");
    EXPECT_EQ(IniRead(path_, "Startup Bank", "Digits", "", buffer, 0), 0u);
    EXPECT_EQ(IniRead(path_, "Startup Bank", "Digits", "", nullptr, 8), 0u);
}

TEST_F(IniFileTest, FirstSectionAndKeyWinAndStrayLinesAreIgnored) {
    Write(path_, "Orphan=before any section\n"
                 "[Global]\n"
                 "; Path=commented out\n"
                 "no equals sign here\n"
                 "=no key\n"
                 "Path=first\n"
                 "PATH=second\n"
                 "[bad header\n"
                 "After=still in Global\n"
                 "[Global]\n"
                 "Path=other section\n"
                 "OnlyHere=later duplicate\n"
                 "[a]b]\n"
                 "Key=bracketed\n");
    EXPECT_EQ(Get("Global", "Path"), "first");
    EXPECT_EQ(Get("Global", "After"), "still in Global");
    // Windows looks only in the first section of a name.
    EXPECT_EQ(Get("Global", "OnlyHere"), "<none>");
    EXPECT_EQ(Get("Global", "Orphan"), "<none>");
    EXPECT_EQ(Get("Global", "; Path"), "<none>");
    EXPECT_EQ(Get("Global", "no equals sign here"), "<none>");
    EXPECT_EQ(Get("a]b", "Key"), "bracketed");
}

TEST_F(IniFileTest, HostileFilesNeverCrashAndStillYieldWhatIsReadable) {
    std::string junk = Bytes("\xEF\xBB\xBF[S]\nA=b\0hidden\n");
    junk += std::string(200 * 1024, 'x') + "=huge\n"; // longer than a kept line
    junk += std::string(100 * 1024, '[') + "\n";      // an endless header
    junk += Bytes("\0\0\0\xff\xfe[S]\x01\n=\n==\n");  // binary noise
    junk += "B = after the junk \r\n";
    junk += std::string(70 * 1024, '='); // last line, no line end
    Write(path_, junk);
    EXPECT_EQ(Get("S", "A"), "b");
    EXPECT_EQ(Get("S", "B"), "after the junk");
    EXPECT_EQ(Get("S", std::string(200 * 1024, 'x').c_str()), "<none>");

    // A write into such a file succeeds and keeps every line it does not touch.
    ASSERT_TRUE(IniWrite(path_, "S", "C", "new"));
    EXPECT_EQ(Get("S", "A"), "b");
    EXPECT_EQ(Get("S", "B"), "after the junk");
    EXPECT_EQ(Get("S", "C"), "new");
    EXPECT_EQ(Read(path_).compare(0, 3, "\xEF\xBB\xBF"), 0);

    // Random bytes rich in the characters the parser cares about.
    IniDocument document;
    const char alphabet[] = "[]=;\"' \t\r\n\0abAB";
    unsigned state = 12345;
    std::string noise;
    for (int i = 0; i < 50000; ++i) {
        state = state * 1103515245u + 12345u;
        noise += alphabet[(state >> 16) % (sizeof alphabet - 1)];
    }
    document.Parse(noise.data(), noise.size());
    document.Get("a", "b", "d", 10);
    EXPECT_TRUE(document.Set("a", "b", "c"));
    EXPECT_EQ(document.Get("a", "b", "d", 10), "c");
    std::string text = document.Text();
    document.Parse(text.data(), text.size());
    EXPECT_EQ(document.Get("A", "B", "d", 10), "c");

    // A folder where the file should be: defaults, and a write that fails.
    std::string folderPath = folder_ + "/folder.ini";
    ASSERT_EQ(::mkdir(folderPath.c_str(), 0755), 0);
    EXPECT_EQ(IniRead(folderPath, "S", "A", "dflt", 63), "dflt");
    EXPECT_FALSE(IniWrite(folderPath, "S", "A", "x"));
    EXPECT_FALSE(IniDocument().Load(folderPath));
}

TEST_F(IniFileTest, TooLargeFileIsReadButNeverRewritten) {
    std::string big = "[S]\nA=1\n" + std::string(IniDocument::kMaxFileBytes, ';');
    IniDocument document;
    document.Parse(big.data(), big.size());
    EXPECT_EQ(document.Get("S", "A", "", 9), "1");
    EXPECT_TRUE(document.Set("S", "A", "2"));
    EXPECT_FALSE(document.Save(path_));
    EXPECT_EQ(Read(path_), "");
}

TEST_F(IniFileTest, WriteReplacesInPlaceAndKeepsEveryOtherLine) {
    Write(path_, "; Halvane settings\n"
                 "[MIDI Global]\n"
                 "  midi THRU = false ; old\n"
                 "unknown line\n"
                 "\n"
                 "[Global]\n"
                 "Path to Program Files=/home/a\n");
    ASSERT_TRUE(IniWrite(path_, "midi global", "MIDI Thru", "true"));
    ASSERT_TRUE(IniWrite(path_, "MIDI Global", "Ignore Program Change", "false"));
    ASSERT_TRUE(IniWrite(path_, "Startup Bank", "File", "/banks/a.fxb"));
    EXPECT_EQ(Read(path_), "; Halvane settings\n"
                           "[MIDI Global]\n"
                           "midi THRU=true\n"
                           "unknown line\n"
                           "Ignore Program Change=false\n"
                           "\n"
                           "[Global]\n"
                           "Path to Program Files=/home/a\n"
                           "\n"
                           "[Startup Bank]\n"
                           "File=/banks/a.fxb\n");
}

TEST_F(IniFileTest, WriteCreatesTheFileAndKeepsWindowsLineEnds) {
    ASSERT_TRUE(IniWrite(path_, "MIDI Control", "CC1", "7"));
    EXPECT_EQ(Read(path_), "[MIDI Control]\nCC1=7\n");
    EXPECT_EQ(Get("MIDI Control", "cc1"), "7");

    Write(path_, "[A]\r\nX=1\r\n");
    ASSERT_TRUE(IniWrite(path_, "A", "Y", "2"));
    EXPECT_EQ(Read(path_), "[A]\r\nX=1\r\nY=2\r\n");

    // The folder of the file is not created.
    EXPECT_FALSE(IniWrite(folder_ + "/missing/halvane.ini", "A", "X", "1"));
}

TEST_F(IniFileTest, NullValueDeletesKeyAndNullKeyDeletesSection) {
    Write(path_, "[MIDI Control]\nCC1=3\nCC2=4\ncc1=stale copy\n"
                 "[Startup Bank]\nFile=a.fxb\n\n"
                 "[Global]\nPath=p\n"
                 "[startup bank]\nFile=stale section\n");
    ASSERT_TRUE(IniWrite(path_, "MIDI Control", "CC1", nullptr));
    EXPECT_EQ(Get("MIDI Control", "CC1"), "<none>");
    EXPECT_EQ(Get("MIDI Control", "CC2"), "4");
    ASSERT_TRUE(IniWrite(path_, "Startup Bank", nullptr, nullptr));
    EXPECT_EQ(Get("Startup Bank", "File"), "<none>");
    EXPECT_EQ(Read(path_), "[MIDI Control]\nCC2=4\n[Global]\nPath=p\n");
    // Deleting what is not there is no failure.
    EXPECT_TRUE(IniWrite(path_, "Nowhere", "Key", nullptr));
    EXPECT_TRUE(IniWrite(path_, "Nowhere", nullptr, nullptr));
}

TEST_F(IniFileTest, EmptyingASectionKeepsItsHeader) {
    Write(path_, "[MIDI Control]\nCC1=3\n; note\nCC7=12\n\n[Global]\nPath=p\n");
    ASSERT_TRUE(IniWriteSection(path_, "midi control", ""));
    EXPECT_EQ(Read(path_), "[MIDI Control]\n\n[Global]\nPath=p\n");
    EXPECT_EQ(Get("MIDI Control", "CC1", "-1"), "-1");
    // Keys written afterwards land in the kept section.
    ASSERT_TRUE(IniWrite(path_, "MIDI Control", "CC5", "0"));
    EXPECT_EQ(Read(path_), "[MIDI Control]\nCC5=0\n\n[Global]\nPath=p\n");

    ASSERT_TRUE(IniWriteSection(path_, "Startup Bank", ""));
    EXPECT_NE(Read(path_).find("[Startup Bank]\n"), std::string::npos);
    ASSERT_TRUE(IniWriteSection(path_, "MIDI Control", "CC1=2\0 CC2 = 3 \0"));
    EXPECT_EQ(Get("MIDI Control", "CC5"), "<none>");
    EXPECT_EQ(Get("MIDI Control", "CC2"), "3");
    ASSERT_TRUE(IniWriteSection(path_, "MIDI Control", nullptr));
    EXPECT_EQ(Read(path_).find("MIDI Control"), std::string::npos);
}

TEST_F(IniFileTest, NamesAndValuesThatCannotBeReadBackAreRefused) {
    Write(path_, "[A]\nX=1\n");
    EXPECT_FALSE(IniWrite(path_, "A", "X=Y", "1"));
    EXPECT_FALSE(IniWrite(path_, "A", "  ", "1"));
    EXPECT_FALSE(IniWrite(path_, "A", "[X]", "1"));
    EXPECT_FALSE(IniWrite(path_, "A", "X", "1\nInjected=1"));
    EXPECT_FALSE(IniWrite(path_, "A", "X", "1\r"));
    EXPECT_FALSE(IniWrite(path_, "", "X", "1"));
    EXPECT_FALSE(IniWrite(path_, nullptr, "X", "1"));
    EXPECT_FALSE(IniWrite(path_, "A\nB", "X", "1"));
    EXPECT_FALSE(IniWriteSection(path_, "A", "K=1\nInjected=2\0"));
    EXPECT_EQ(Read(path_), "[A]\nX=1\n");
}

TEST_F(IniFileTest, LastWriterWinsAndNoWriteIsLost) {
    ASSERT_TRUE(IniWrite(path_, "MIDI Global", "MIDI Thru", "true"));
    ASSERT_TRUE(IniWrite(path_, "MIDI Global", "MIDI Thru", "false"));
    EXPECT_EQ(Get("MIDI Global", "MIDI Thru"), "false");

    // Two instances saving at once each keep their keys.
    auto writer = [this](const char* prefix) {
        for (int k = 0; k < 20; ++k)
            IniWrite(path_, "MIDI Control", (prefix + std::to_string(k)).c_str(), "1");
    };
    std::thread first(writer, "A");
    std::thread second(writer, "B");
    first.join();
    second.join();
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(Get("MIDI Control", ("A" + std::to_string(k)).c_str()), "1");
        EXPECT_EQ(Get("MIDI Control", ("B" + std::to_string(k)).c_str()), "1");
    }
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"halvane.ini"});
}

TEST_F(IniFileTest, FailedWriteLeavesTheOldFileWhole) {
    const std::string original = "[Global]\nPath to Program Files=/home/user/Documents\n";
    Write(path_, original);

    // A file-size limit makes the write itself fail half way, even for root.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    bool written =
        IniWrite(path_, "Global", "Path to Program Files", std::string(500, 'p').c_str());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(Read(path_), original);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"halvane.ini"});

    // A folder or file the writer may not change (root may change anything).
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
        EXPECT_FALSE(IniWrite(path_, "Global", "Path to Program Files", "/elsewhere"));
        ::chmod(path_.c_str(), 0644);
        EXPECT_EQ(Read(path_), original);
        ASSERT_EQ(::chmod(folder_.c_str(), 0555), 0);
        EXPECT_FALSE(IniWrite(path_, "Global", "Path to Program Files", "/elsewhere"));
        ::chmod(folder_.c_str(), 0755);
        EXPECT_EQ(Read(path_), original);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"halvane.ini"});
    }
}

TEST_F(IniFileTest, WritingThroughALinkReplacesTheLinkedFile) {
    std::string real = folder_ + "/real.ini";
    Write(real, "[A]\nX=1\n");
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(real.c_str(), path_.c_str()), 0);
    ASSERT_TRUE(IniWrite(path_, "A", "X", "2"));
    struct stat info {};
    ASSERT_EQ(::lstat(path_.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(Read(real), "[A]\nX=2\n");
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

} // namespace

} // namespace halvane
