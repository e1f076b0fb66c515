#include "Process.h"
#include "RunTestUtil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(Process, ArgumentsReachTheProgramUntouchedWithoutInheritedDescriptors) {
    CTempDir dir;
    const std::string out = dir.Path() + "/record";
    // A descriptor without close-on-exec, holding a lock, as a careless
    // caller might have one.
    int leaky = ::open((dir.Path() + "/lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(leaky, 0);
    ASSERT_EQ(::flock(leaky, LOCK_EX), 0);

    CProcessStart start;
    start.m_strProgram = FAKE_SCANNER;
    start.m_args = {"-c", "a \"quoted\" $(rm -rf /) 'x'"};
    start.m_strWorkingDir = dir.Path();
    start.m_env = {{"VEX_FAKE_OUT", out}, {"VEX_WINDOW", "hidden"}};
    pid_t pid = -1;
    ASSERT_TRUE(StartProcess(start, &pid));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    auto rec = WaitForRecord(out);
    EXPECT_EQ(rec["argc"], "3");
    EXPECT_EQ(rec["arg1"], "-c");
    EXPECT_EQ(rec["arg2"], "a \"quoted\" $(rm -rf /) 'x'");
    EXPECT_EQ(rec["cwd"], dir.Path());
    EXPECT_EQ(rec["window"], "hidden");
    EXPECT_EQ(rec["fds"], "");
    EXPECT_EQ(rec["stdin"], "/dev/null");
    ::close(leaky);
}

TEST(Process, AnAddedVariableReplacesOursAndTheRestIsKept) {
    CTempDir dir;
    const std::string out = dir.Path() + "/record";
    ::setenv("VEX_WINDOW", "stale", 1);
    CProcessStart start;
    start.m_strProgram = FAKE_SCANNER;
    start.m_env = {{"VEX_WINDOW", "normal"}};
    ::setenv("VEX_FAKE_OUT", out.c_str(), 1); // inherited from us
    pid_t pid = -1;
    ASSERT_TRUE(StartProcess(start, &pid));
    ::waitpid(pid, nullptr, 0);
    ::unsetenv("VEX_WINDOW");
    ::unsetenv("VEX_FAKE_OUT");
    EXPECT_EQ(WaitForRecord(out)["window"], "normal");
}

TEST(Process, FailuresToStartAreReported) {
    CTempDir dir;
    const std::string plain = dir.Path() + "/not-a-program";
    { std::ofstream(plain) << "data"; }
    ::chmod(plain.c_str(), 0644);

    CProcessStart start;
    EXPECT_FALSE(StartProcess(start)); // no program
    start.m_strProgram = dir.Path() + "/missing";
    EXPECT_FALSE(StartProcess(start));
    start.m_strProgram = FAKE_SCANNER;
    start.m_strWorkingDir = dir.Path() + "/no-such-folder";
    EXPECT_FALSE(StartProcess(start));

    EXPECT_TRUE(IsExecutableFile(FAKE_SCANNER));
    EXPECT_FALSE(IsExecutableFile(""));
    EXPECT_FALSE(IsExecutableFile(dir.Path()));
    EXPECT_FALSE(IsExecutableFile(dir.Path() + "/missing"));
    EXPECT_FALSE(IsExecutableFile(plain)); // even root needs an execute bit
    start.m_strProgram = plain;
    start.m_strWorkingDir.clear();
    EXPECT_FALSE(StartProcess(start));
}
