#pragma once
// The editor's dialog service for tests: answers come from a script and every
// question, box and opened page is recorded.

#include <deque>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Lock.h"
#include "shell/ShellDialogs.h"
#include "support/ShellTestSupport.h"

namespace halvane {

namespace shelltest {

class ScriptedDialogs : public ShellDialogs {
public:
    struct FileQuestion {
        std::string proposed;
        FileAction action;
        std::string folder;
        std::string extension;
    };
    struct Box {
        std::string text;
        std::string caption;
        BoxKind kind;
    };
    struct Page {
        std::string url;
        bool asked; // a confirmation text or an error text was given
    };

    explicit ScriptedDialogs(RecursiveLock& lock) : lock_(lock) {}

    void PromptForFile(std::string& fileName, FileAction action, std::string& folder,
                       const char* extension) override {
        files.push_back({fileName, action, folder, extension});
        ExpectLockFree();
        fileName = chosen.empty() ? "" : chosen.front();
        if (!chosen.empty())
            chosen.pop_front();
        folder = "/the/dialog/folder";
    }
    BoxAnswer ShowMessageBox(const char* text, const char* caption, BoxKind kind) override {
        boxes.push_back({text, caption, kind});
        ExpectLockFree();
        if (failBox == static_cast<int>(boxes.size()))
            throw std::bad_alloc();
        if (answers.empty())
            return BoxAnswer::kOk;
        const BoxAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    bool OpenUrl(const char* url, const char*, const char* confirmText,
                 const char* errorText) override {
        pages.push_back({url, confirmText != nullptr || errorText != nullptr});
        return true;
    }

    std::deque<std::string> chosen;
    std::deque<BoxAnswer> answers;
    int failBox = 0; // the box (counted from 1) that runs out of memory
    std::vector<FileQuestion> files;
    std::vector<Box> boxes;
    std::vector<Page> pages;

private:
    // A modal dialog must not hold up the audio thread.
    void ExpectLockFree() {
        bool free = false;
        std::thread other([&] {
            free = lock_.TryEnter();
            if (free)
                lock_.Leave();
        });
        other.join();
        EXPECT_TRUE(free);
    }
    RecursiveLock& lock_;
};

// An instrument as the entry point builds it, with its own settings folder
// and scripted dialogs.
class WithDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        home = FreshSettings();
        plug = MakeHalvane();
        dialogs = std::make_unique<ScriptedDialogs>(plug->Lock());
        plug->SetDialogs(dialogs.get());
    }
    std::string home;
    std::unique_ptr<Halvane> plug;
    std::unique_ptr<ScriptedDialogs> dialogs;
};

} // namespace shelltest

} // namespace halvane
