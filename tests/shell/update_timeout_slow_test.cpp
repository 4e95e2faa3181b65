// The update check gives up on a server that never answers, or answers half,
// and on a connection that is never taken up, within its time limits.

#include <gtest/gtest.h>

#include <fcntl.h>

#include <chrono>
#include <cstdlib>

#include "support/LocalHttpServer.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;

namespace {

class UpdateTimeout : public WithDialogs {
protected:
    // Runs the check against host; returns its result and the seconds it took.
    int Check(const std::string& host, double& seconds) {
        setenv("HALVANE_UPDATE_HOST", host.c_str(), 1);
        const auto start = std::chrono::steady_clock::now();
        const int result = plug->CheckForUpdate();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(dialogs->boxes.size(), 1u);
        if (!dialogs->boxes.empty()) {
            EXPECT_EQ(dialogs->boxes[0].text, "An error occurred while contacting kelpmoor.com.");
            EXPECT_EQ(dialogs->boxes[0].caption, "Check Online for Update");
            EXPECT_EQ(dialogs->boxes[0].kind, ShellDialogs::BoxKind::kErrorOk);
        }
        dialogs->boxes.clear();
        return result;
    }
};

TEST_F(UpdateTimeout, ASilentServerIsGivenUpWithinTheTransferLimit) {
    LocalHttpServer silent("", LocalHttpServer::Mode::kSilent);
    double seconds = 0;
    EXPECT_EQ(Check(silent.Host(), seconds), -1);
    EXPECT_GT(seconds, 9.0) << "the whole-transfer limit is 10 s";
    EXPECT_LT(seconds, 11.0);
    EXPECT_EQ(silent.Requests().size(), 1u);
}

TEST_F(UpdateTimeout, AReplyBrokenOffIsNoReply) {
    LocalHttpServer half("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n1105",
                         LocalHttpServer::Mode::kSilent);
    double seconds = 0;
    EXPECT_EQ(Check(half.Host(), seconds), -1);
    EXPECT_LT(seconds, 11.0);
    EXPECT_TRUE(dialogs->pages.empty());
}

TEST_F(UpdateTimeout, AConnectionNeverTakenUpIsGivenUpWithinTheConnectLimit) {
    // A listener that never accepts, with its queue already full: the kernel
    // drops further connection requests, so the check's connection never completes.
    sockaddr_in address;
    const int listener = LocalSocket(0, address);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    const int port = BoundPort(listener);
    std::vector<int> queued;
    for (int i = 0; i < 3; ++i) {
        sockaddr_in to;
        const int fd = LocalSocket(port, to);
        fcntl(fd, F_SETFL, O_NONBLOCK);
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to));
        queued.push_back(fd);
    }
    double seconds = 0;
    EXPECT_EQ(Check("127.0.0.1:" + std::to_string(port), seconds), -1);
    EXPECT_GT(seconds, 4.0) << "the connect limit is 5 s";
    EXPECT_LT(seconds, 7.0);
    for (int fd : queued)
        close(fd);
    close(listener);
}

} // namespace

} // namespace halvane
