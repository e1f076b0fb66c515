#include "NamedMutex.h"

#include "TempStateRoot.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(NamedMutex, OneOwnerAtATimeAndOthersSeeIt) {
    CTempStateRoot root;
    EXPECT_FALSE(CNamedMutex::IsHeld(kServerMutexName));
    CNamedMutex first(kServerMutexName);
    ASSERT_TRUE(first.TryLock());
    EXPECT_TRUE(first.TryLock());
    EXPECT_TRUE(first.IsOwned());
    EXPECT_TRUE(CNamedMutex::IsHeld(kServerMutexName));

    CNamedMutex second(kServerMutexName);
    EXPECT_FALSE(second.TryLock());
    EXPECT_FALSE(second.IsOwned());
    first.Unlock();
    EXPECT_FALSE(CNamedMutex::IsHeld(kServerMutexName));
    EXPECT_TRUE(second.TryLock());
}

TEST(NamedMutex, PresenceTestWithoutStateRootCreatesNothing) {
    CTempStateRoot root;
    const std::string missing = root.Path() + "/missing";
    setenv("RAMPART_ROOT", missing.c_str(), 1);
    EXPECT_FALSE(CNamedMutex::IsHeld(kServerMutexName));
    struct stat st {};
    EXPECT_NE(stat(missing.c_str(), &st), 0);
    setenv("RAMPART_ROOT", root.Path().c_str(), 1);
}

TEST(NamedMutex, HeldWhileOwnerProcessLivesAndFreeAfterItIsKilled) {
    CTempStateRoot root;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        CNamedMutex mutex(kServerMutexName);
        const char c = mutex.TryLock() ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1)
            _exit(1);
        for (;;)
            pause();
    }
    ASSERT_GT(pid, 0);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    EXPECT_TRUE(CNamedMutex::IsHeld(kServerMutexName));
    CNamedMutex mine(kServerMutexName);
    EXPECT_FALSE(mine.TryLock());

    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_FALSE(CNamedMutex::IsHeld(kServerMutexName));
    EXPECT_TRUE(mine.TryLock());
    close(ready[0]);
    close(ready[1]);
}

TEST(NamedMutex, ProgramsStartedByTheOwnerDoNotInheritTheLock) {
    CTempStateRoot root;
    CNamedMutex mutex(kServerMutexName);
    ASSERT_TRUE(mutex.TryLock());
    pid_t pid = 0;
    char sleepArg[] = "sleep", seconds[] = "5";
    char* argv[] = {sleepArg, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ), 0);
    mutex.Unlock();
    // The kernel lets posix_spawn return as soon as the child has its new
    // memory, a moment before it closes the close-on-exec descriptors; an
    // inherited lock would stay for the child's whole five seconds.
    bool bHeld = true;
    for (int i = 0; i < 100 && (bHeld = CNamedMutex::IsHeld(kServerMutexName)); ++i)
        usleep(10000);
    EXPECT_FALSE(bHeld);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}
