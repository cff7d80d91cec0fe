// SPDX-License-Identifier: GPL-3.0-or-later
// Standard output without side effects: a reader that takes nothing never holds
// the server up nor its end (SIGTERM), the shared pipe's flags stay as they were
// (also after SIGKILL), and a closed standard output becomes /dev/null instead of
// the next descriptor the server opens.
#include "tests/server/daemon/ServiceProcess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace service_test;
using testing_support::RawClient;

namespace {

// A pipe whose reader never reads, full already, blocking as a shell makes it.
struct FullPipe {
    int fds[2] = {-1, -1};
    FullPipe() {
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
        const std::string block(4096, 'f');
        while (::write(fds[1], block.data(), block.size()) > 0) {
        }
        ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) & ~O_NONBLOCK);
    }
    ~FullPipe() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    bool Blocking() const { return (::fcntl(fds[1], F_GETFL) & O_NONBLOCK) == 0; }
};

TEST(StdoutTest, AnUnreadOutputHoldsNothingUpAndItsFlagsStayOurs) {
    for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
        FullPipe pipe;
        const int out = pipe.fds[1];
        Service s({"--log", "all"}, QProcessEnvironment::systemEnvironment(), [out] { ::dup2(out, 1); });
        s.Start();
        // The room works although no log line can be written.
        ASSERT_TRUE(WaitFor([&] { return Ctl(s.ControlPath(), {"users"}).status == 0; }, 20000))
            << s.Err().toStdString();
        RawClient anna;
        ASSERT_TRUE(anna.Connect(s.Port()));
        ASSERT_TRUE(anna.Login("anna"));
        EXPECT_TRUE(pipe.Blocking()) << "the shared description was changed while running";

        QElapsedTimer took;
        took.start();
        s.Signal(signal);
        ASSERT_TRUE(s.Finished(5000)) << "signal " << signal;
        EXPECT_LT(took.elapsed(), 3000) << "signal " << signal;
        if (signal != SIGKILL) {
            EXPECT_EQ(s.Process().exitCode(), 0);
        }
        EXPECT_TRUE(pipe.Blocking()) << "after signal " << signal;
    }
}

TEST(StdoutTest, AClosedOutputBecomesDevNull) {
    Service s({}, QProcessEnvironment::systemEnvironment(), [] {
        ::close(0);
        ::close(1);
    });
    s.Start();
    ASSERT_TRUE(WaitFor([&] { return Ctl(s.ControlPath(), {"users"}).status == 0; }, 20000))
        << s.Err().toStdString();
    const QString proc = QStringLiteral("/proc/%1/fd/").arg(s.Process().processId());
    EXPECT_EQ(QFileInfo(proc + "1").symLinkTarget(), "/dev/null");
    EXPECT_EQ(QFileInfo(proc + "0").symLinkTarget(), "/dev/null");
    RawClient anna;
    ASSERT_TRUE(anna.Connect(s.Port()));
    EXPECT_TRUE(anna.Login("anna"));
    EXPECT_EQ(s.Stop(), 0);
    EXPECT_TRUE(s.Err().isEmpty()) << s.Err().toStdString();
}

} // namespace
