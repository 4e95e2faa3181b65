// The update check against a local web server: every kind of reply gives its
// message box and return code, and the request is the one the maker's site
// expects.

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/LocalHttpServer.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;
using Answer = ShellDialogs::BoxAnswer;
using Kind = ShellDialogs::BoxKind;

namespace {

const char kCaption[] = "Check Online for Update";
const char kDownloadPage[] = "http://www.kelpmoor.com/music/vst.html";

std::string NewVersionText(const std::string& version) {
    return "A new version of Halvane is available.\n\n\tYour version: \t1.1.4\n"
           "\tNew version: \t" +
           version + "\n\nDo you want to go to www.kelpmoor.com to get the new version?";
}

class UpdateCheck : public WithDialogs {
protected:
    // The check against a server answering body (or the whole response).
    int CheckAgainst(const std::string& response) {
        LocalHttpServer server(response);
        setenv("HALVANE_UPDATE_HOST", server.Host().c_str(), 1);
        const int result = plug->CheckForUpdate();
        requests = server.Requests();
        return result;
    }

    // Exactly one box was shown, and it was this one.
    void ExpectOneBox(const std::string& text, Kind kind) {
        ASSERT_EQ(dialogs->boxes.size(), 1u);
        EXPECT_EQ(dialogs->boxes[0].text, text);
        EXPECT_EQ(dialogs->boxes[0].caption, kCaption);
        EXPECT_EQ(dialogs->boxes[0].kind, kind);
        dialogs->boxes.clear();
    }

    std::vector<std::string> requests;
};

TEST_F(UpdateCheck, AsksTheMakersQueryDirectly) {
    // A proxy named in the environment is not used: the reply still comes.
    const std::string proxy = "http://127.0.0.1:" + std::to_string(ClosedPort());
    setenv("http_proxy", proxy.c_str(), 1);
    setenv("HTTP_PROXY", proxy.c_str(), 1);
    EXPECT_EQ(CheckAgainst(HttpResponse("1104")), 0);
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    ExpectOneBox("Your version is up to date.", Kind::kInfoOk);

    ASSERT_EQ(requests.size(), 1u);
    const std::string& r = requests[0];
    EXPECT_EQ(r.rfind("GET /music/version/?file=halvane HTTP/1.", 0), 0u) << r;
    EXPECT_NE(r.find("\r\nUser-Agent: Halvane\r\n"), std::string::npos) << r;
    EXPECT_NE(r.find("\r\nAccept: */*\r\n"), std::string::npos) << r;
    EXPECT_EQ(r.find("Accept:"), r.rfind("Accept:")) << "one accepted type only";
}

TEST_F(UpdateCheck, RepliesBelowTheThresholdAreUpToDate) {
    for (const char* reply : {"1104", "abc", "999", "-1105", "0"}) {
        EXPECT_EQ(CheckAgainst(HttpResponse(reply)), 0) << reply;
        ExpectOneBox("Your version is up to date.", Kind::kInfoOk);
    }
    EXPECT_TRUE(dialogs->pages.empty());
}

TEST_F(UpdateCheck, NewerVersionsOfferTheDownloadPage) {
    struct Case {
        const char* reply;
        const char* shown;
        Answer answer;
        bool opens;
    };
    const Case cases[] = {
        {"1105", "1.1.5", Answer::kYes, true},
        {"1114\n", "1.1.14\n", Answer::kNo, false},
        {"1200", "1.2.0", Answer::kCancel, true},  // a dismissed box counts as yes
        {"  1105", " . .1105", Answer::kOk, true}, // the text is built from the characters
        {"2010 beta", "2.0.10 beta", Answer::kNo, false},
    };
    for (const Case& c : cases) {
        dialogs->answers = {c.answer};
        const std::size_t opened = dialogs->pages.size();
        EXPECT_EQ(CheckAgainst(HttpResponse(c.reply)), 0) << c.reply;
        ASSERT_EQ(dialogs->boxes.size(), 1u) << c.reply;
        EXPECT_EQ(dialogs->boxes[0].caption, "New Version of Halvane Detected");
        EXPECT_EQ(dialogs->boxes[0].kind, Kind::kYesNo);
        EXPECT_EQ(dialogs->boxes[0].text, NewVersionText(c.shown));
        dialogs->boxes.clear();
        ASSERT_EQ(dialogs->pages.size(), opened + (c.opens ? 1 : 0)) << c.reply;
        if (c.opens) {
            EXPECT_EQ(dialogs->pages.back().url, kDownloadPage);
            EXPECT_FALSE(dialogs->pages.back().asked) << "no second question, no error text";
        }
    }
}

TEST_F(UpdateCheck, PagesAndSilenceAreNoVersion) {
    EXPECT_EQ(CheckAgainst(HttpResponse("<html><body>1105</body></html>")), -3);
    ExpectOneBox("Invalid call to kelpmoor.com.", Kind::kErrorOk);
    EXPECT_EQ(CheckAgainst(HttpResponse("1105 <br>")), -3) << "a '<' anywhere";
    ExpectOneBox("Invalid call to kelpmoor.com.", Kind::kErrorOk);
    EXPECT_EQ(CheckAgainst(HttpResponse("<html><h1>Not Found</h1></html>", "404 Not Found")), -3);
    ExpectOneBox("Invalid call to kelpmoor.com.", Kind::kErrorOk);

    const std::string failed = "An error occurred while contacting kelpmoor.com.";
    EXPECT_EQ(CheckAgainst(HttpResponse("")), -1);
    ExpectOneBox(failed, Kind::kErrorOk);
    EXPECT_EQ(CheckAgainst(std::string("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n\0001105", 44)),
              -1)
        << "a reply that is text up to nothing";
    ExpectOneBox(failed, Kind::kErrorOk);
    EXPECT_EQ(CheckAgainst("not a web server at all\r\n"), -1);
    ExpectOneBox(failed, Kind::kErrorOk);

    setenv("HALVANE_UPDATE_HOST", ("127.0.0.1:" + std::to_string(ClosedPort())).c_str(), 1);
    plug->HandleMenuCommand(Synth::kCheckForUpdate);
    ExpectOneBox(failed, Kind::kErrorOk);
    EXPECT_TRUE(dialogs->pages.empty());
}

TEST_F(UpdateCheck, TheQueryFollowsTheSiteWhereItMoved) {
    LocalHttpServer moved(HttpResponse("1105"));
    const std::string redirect = "HTTP/1.1 301 Moved Permanently\r\nLocation: http://" +
                                 moved.Host() +
                                 "/music/version/?file=halvane\r\nContent-Length: 0\r\n"
                                 "Connection: close\r\n\r\n";
    dialogs->answers = {Answer::kNo};
    EXPECT_EQ(CheckAgainst(redirect), 0);
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].text, NewVersionText("1.1.5"));
    ASSERT_EQ(moved.Requests().size(), 1u);
    EXPECT_EQ(moved.Requests()[0].rfind("GET /music/version/?file=halvane ", 0), 0u);
}

TEST_F(UpdateCheck, LongRepliesAreCut) {
    // Only the first 64 KiB are read: a page marker beyond them goes unseen.
    EXPECT_EQ(CheckAgainst(HttpResponse("1104" + std::string(70000, ' ') + "<html>")), 0);
    ExpectOneBox("Your version is up to date.", Kind::kInfoOk);

    dialogs->answers = {Answer::kNo};
    EXPECT_EQ(CheckAgainst(HttpResponse("1105" + std::string(5000, 'x'))), 0);
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].text.size(), 1023u);
    EXPECT_EQ(dialogs->boxes[0].text,
              NewVersionText("1.1.5" + std::string(5000, 'x')).substr(0, 1023));
}

TEST_F(UpdateCheck, AnInterruptedCheckIsReported) {
    dialogs->failBox = 1; // the new-version question runs out of memory
    EXPECT_EQ(CheckAgainst(HttpResponse("1105")), -2);
    ASSERT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_EQ(dialogs->boxes[1].text, "An error occurred while contacting kelpmoor.com.");
    EXPECT_EQ(dialogs->boxes[1].kind, Kind::kErrorOk);
    EXPECT_TRUE(dialogs->pages.empty());

    // Without an editor nobody is asked and nothing is opened.
    plug->SetDialogs(nullptr);
    EXPECT_EQ(CheckAgainst(HttpResponse("1105")), 0);
}

} // namespace

} // namespace halvane
