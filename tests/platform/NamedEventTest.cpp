#include "NamedEvent.h"

#include "NamedBroadcast.h"

#include "OtherUser.h"
#include "TempStateRoot.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Waits for a child for at most nMs; kills it when it takes longer.
int ExitCode(pid_t pid, int nMs = 5000) {
    const auto start = Clock::now();
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (MsSince(start) > nMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        usleep(2000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(NamedEvent, SignalWithoutWaiterStaysSetAndSeveralCollapseIntoOne) {
    CTempStateRoot root;
    CNamedEvent event("TestEvent");
    ASSERT_TRUE(event.IsValid());
    EXPECT_FALSE(event.Wait(0));
    EXPECT_TRUE(event.Set());
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0)); // auto-reset

    CNamedEvent same("TestEvent"); // opens the same event
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(same.Set());
    EXPECT_TRUE(event.Wait(-1));
    EXPECT_FALSE(event.Wait(0));
}

TEST(NamedEvent, TimedWaitEndsAfterItsTime) {
    CTempStateRoot root;
    CNamedEvent event("TestEvent");
    const auto start = Clock::now();
    EXPECT_FALSE(event.Wait(80));
    EXPECT_GE(MsSince(start), 75);
    EXPECT_LT(MsSince(start), 2000);
}

TEST(NamedEvent, NamesAreScopedToTheStateRoot) {
    CTempStateRoot first;
    CNamedEvent a("TestEvent");
    const std::string nameA = CNamedEvent::SemaphoreName("TestEvent");
    {
        CTempStateRoot second;
        EXPECT_NE(CNamedEvent::SemaphoreName("TestEvent"), nameA);
        CNamedEvent b("TestEvent");
        ASSERT_TRUE(b.IsValid());
        EXPECT_TRUE(a.Set());
        EXPECT_FALSE(b.Wait(0));
        EXPECT_TRUE(a.Wait(0));
    }
    // Spelling the same root differently gives the same event.
    setenv("RAMPART_ROOT", (first.Path() + "//./").c_str(), 1);
    EXPECT_EQ(CNamedEvent::SemaphoreName("TestEvent"), nameA);
    setenv("RAMPART_ROOT", first.Path().c_str(), 1);
}

TEST(NamedEvent, NamesComeFromASecretThatFirstUsersOfARootAgreeOn) {
    CTempStateRoot root;
    int go[2], out[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(out), 0);
    std::vector<pid_t> users;
    for (int i = 0; i < 4; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            char record[128] = {};
            if (read(go[0], record, 1) != 0) // all start when the parent closes it
                _exit(1);
            CNamedEvent::SemaphoreName("TestEvent").copy(record, sizeof record - 1);
            _exit(write(out[1], record, sizeof record) == sizeof record ? 0 : 1);
        }
        users.push_back(pid);
    }
    close(go[0]);
    close(go[1]);
    std::set<std::string> names;
    for (const pid_t pid : users) {
        char record[128] = {};
        ASSERT_EQ(read(out[0], record, sizeof record), static_cast<ssize_t>(sizeof record));
        names.insert(record);
        EXPECT_EQ(ExitCode(pid), 0);
    }
    close(out[0]);
    close(out[1]);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_NE(*names.begin(), GuessableNameStem() + "TestEvent");
    struct stat st {};
    ASSERT_EQ(stat((root.Path() + "/names.key").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(NamedEvent, SignalFromAnotherProcessWakesWaiter) {
    CTempStateRoot root;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        CNamedEvent event("TestEvent");
        char c = 'r';
        if (write(ready[1], &c, 1) != 1)
            _exit(3);
        _exit(event.Wait(-1) ? 0 : 2);
    }
    ASSERT_GT(pid, 0);
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    usleep(50000); // let the child block in its wait
    CNamedEvent event("TestEvent");
    EXPECT_TRUE(event.Set());
    EXPECT_EQ(ExitCode(pid), 0);
    close(ready[0]);
    close(ready[1]);
}

TEST(NamedEvent, TwoQuickSignalsWakeAnotherProcessOnceOrTwice) {
    CTempStateRoot root;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        CNamedEvent event("TestEvent");
        char c = 'r';
        if (write(ready[1], &c, 1) != 1)
            _exit(99);
        if (!event.Wait(5000))
            _exit(0);
        int wakes = 1;
        while (event.Wait(300))
            ++wakes;
        _exit(wakes);
    }
    ASSERT_GT(pid, 0);
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    CNamedEvent event("TestEvent");
    EXPECT_TRUE(event.Set());
    EXPECT_TRUE(event.Set());
    const int wakes = ExitCode(pid);
    EXPECT_GE(wakes, 1);
    EXPECT_LE(wakes, 2);
    close(ready[0]);
    close(ready[1]);
}

TEST(NamedEvent, TheRootsEventsGoWithTheirLastUserInAnyProcess) {
    CTempStateRoot root;
    const std::string semaphore =
        "/dev/shm/sem." + CNamedEvent::SemaphoreName(kServerEventName).substr(1);
    const std::string counter = "/dev/shm" + CNamedBroadcast::SharedName(kClientEventName);
    auto exists = [](const std::string& path) { return access(path.c_str(), F_OK) == 0; };
    auto server = std::make_unique<CNamedEvent>(kServerEventName);
    {
        const CNamedBroadcast clients(kClientEventName);
        ASSERT_TRUE(server->IsValid() && clients.IsValid());
        EXPECT_TRUE(exists(semaphore) && exists(counter));
    }
    EXPECT_TRUE(exists(semaphore) && exists(counter)); // the server's event still holds both

    // A user in another process keeps them past this one's end too.
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(done[1]);
        bool bOk = false;
        {
            const CNamedBroadcast clients(kClientEventName);
            char c = clients.IsValid() ? 'y' : 'n';
            bOk = write(ready[1], &c, 1) == 1 && read(done[0], &c, 1) == 0;
        }
        _exit(bOk ? 0 : 2);
    }
    close(done[0]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    server.reset();
    EXPECT_TRUE(exists(semaphore) && exists(counter));
    close(done[1]);
    EXPECT_EQ(ExitCode(pid), 0);
    EXPECT_FALSE(exists(semaphore));
    EXPECT_FALSE(exists(counter));
    close(ready[0]);
    close(ready[1]);
}
