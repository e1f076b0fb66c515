// The scanner program as the server and "run now" start it.
#include "LineText.h"
#include "ScanLock.h"
#include "ScanParameter.h"
#include "ScanPaths.h"
#include "Settings.h"
#include "SignatureDb.h"
#include "TestString.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/fuse.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A FUSE file system that this process serves, as sshfs would: an empty
// root folder, which it notes being opened. Root only.
class CFuseStub {
public:
    bool Mount(const std::string& dir) {
        m_fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        const std::string options =
            "fd=" + std::to_string(m_fd) + ",rootmode=40000,user_id=0,group_id=0";
        if (m_fd < 0 || ::mount("vextest", dir.c_str(), "fuse.vextest", MS_NOSUID | MS_NODEV,
                                options.c_str()) != 0)
            return false;
        m_strDir = dir;
        m_thread = std::thread([this] { Serve(); });
        return true;
    }
    ~CFuseStub() {
        if (!m_strDir.empty())
            ::umount2(m_strDir.c_str(), MNT_DETACH);
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_thread.joinable())
            m_thread.join();
    }
    bool Opened() const { return m_bOpened; }

private:
    void Serve() {
        std::vector<char> request(FUSE_MIN_READ_BUFFER + (1 << 20));
        for (;;) {
            const ssize_t n = ::read(m_fd, request.data(), request.size());
            if (n < 0 && errno == EINTR)
                continue;
            const auto* in = reinterpret_cast<const fuse_in_header*>(request.data());
            if (n < static_cast<ssize_t>(sizeof *in) || in->opcode == FUSE_DESTROY)
                return;
            if (in->opcode == FUSE_INIT) {
                fuse_init_out out{};
                out.major = FUSE_KERNEL_VERSION;
                out.minor = 31;
                out.max_write = 4096;
                Reply(in->unique, 0, &out, sizeof out);
            } else if (in->opcode == FUSE_GETATTR) {
                fuse_attr_out out{};
                out.attr.ino = FUSE_ROOT_ID;
                out.attr.mode = S_IFDIR | 0755;
                out.attr.nlink = 2;
                Reply(in->unique, 0, &out, sizeof out);
            } else {
                m_bOpened = m_bOpened || in->opcode == FUSE_OPENDIR;
                Reply(in->unique, -ENOSYS, nullptr, 0);
            }
        }
    }
    void Reply(uint64_t unique, int error, const void* data, size_t size) {
        fuse_out_header head{static_cast<uint32_t>(sizeof head + size), error, unique};
        std::string reply(reinterpret_cast<const char*>(&head), sizeof head);
        reply.append(static_cast<const char*>(data), size);
        if (::write(m_fd, reply.data(), reply.size()) < 0) {
            // The kernel has dropped the request (the file system is going).
        }
    }

    int m_fd = -1;
    std::string m_strDir;
    std::thread m_thread;
    std::atomic<bool> m_bOpened{false};
};

struct CMountGone {
    std::string strDir;
    ~CMountGone() { ::umount2(strDir.c_str(), MNT_DETACH); }
};

class VexscanTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/vexscanrunXXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_base = dir;
        fs::create_directories(m_base + "/tree");
        m_cmdFile = m_base + "/vexcmd";
        m_sigs = MakeTestSignatures(m_base + "/signatures");
    }
    void TearDown() override { fs::remove_all(m_base); }

    void WriteCommand(const std::string& digits, const std::string& name) {
        std::ofstream(m_cmdFile, std::ios::binary) << digits << "\r\n"
                                                   << name << "\r\n"
                                                   << m_base << "/tree\r\n";
    }
    // Runs vexscan; returns its exit code and what it printed on stdout (and
    // on stderr).
    int Run(const std::string& window, std::string* out = nullptr, const std::string& display = "",
            std::string* err = nullptr) {
        std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + display + " RAMPART_ROOT='" +
                              m_base + "/state' VEX_WINDOW=" + window + " VEX_SIGNATURES='" +
                              m_sigs + "' " + VEXSCAN_PATH + " -c '" + m_cmdFile +
                              "' </dev/null 2>" + (err ? m_base + "/stderr" : "/dev/null");
        FILE* p = ::popen(command.c_str(), "r");
        if (!p)
            return -1;
        std::string text;
        char buf[256];
        while (size_t n = std::fread(buf, 1, sizeof buf, p))
            text.append(buf, n);
        int status = ::pclose(p);
        if (out)
            *out = text;
        if (err)
            *err = ReadFile(m_base + "/stderr");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream file(path);
        std::stringstream ss;
        ss << file.rdbuf();
        return ss.str();
    }
    std::string LogText(const std::string& job) const {
        return ReadFile(CScanPaths::ForJob(m_base + "/state", job).m_strLog);
    }

    std::string m_base, m_cmdFile, m_sigs;
};

TEST_F(VexscanTest, ExitCodesAndCommandFileCleanUp) {
    std::ofstream(m_base + "/tree/clean.sh") << "echo\n";
    WriteCommand("21010011", "Job");
    std::string out;
    EXPECT_EQ(Run("normal", &out), 0);
    EXPECT_FALSE(fs::exists(m_cmdFile));
    EXPECT_NE(out.find("Job: " + m_base + "/tree: plików 1, zainfekowanych 0"), std::string::npos)
        << out;

    std::ofstream(m_base + "/tree/virus") << TestString();
    WriteCommand("21010011", "Job");
    EXPECT_EQ(Run("hidden", &out), 1);
    EXPECT_TRUE(out.empty()); // a hidden scanner prints nothing
    EXPECT_FALSE(fs::exists(m_cmdFile));
    // The combined log holds, per scan, a header, the signature databases,
    // the engine, the findings and the summary.
    const std::string text = LogText("Job");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9) << text;
}

TEST_F(VexscanTest, SystemErrorsReadInTheUsersLanguageAndAScanNeverBegunHasNoCounts) {
    // The system's own text of an error, in the user's locale.
    std::ofstream(m_base + "/tree/clean.sh") << "echo\n";
    m_sigs = m_base + "/no-signatures";
    WriteCommand("21010011", "Brak");
    EXPECT_EQ(Run("hidden", nullptr, "LANGUAGE= LC_ALL=pl_PL.UTF-8"), 2);
    std::string log = LogText("Brak");
    EXPECT_NE(log.find("(Nie ma takiego pliku ani katalogu)"), std::string::npos) << log;

    fs::remove_all(m_base + "/tree");
    WriteCommand("21010011", "Brak");
    EXPECT_EQ(Run("hidden"), 2);
    log = LogText("Brak");
    log = log.substr(log.rfind("==== "));
    EXPECT_NE(log.find("Brak: " + m_base + "/tree: analizy nie przeprowadzono\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("błędów 0"), std::string::npos) << log;
}

TEST_F(VexscanTest, DamagedCommandFileIsAnErrorAndIsKept) {
    std::ofstream(m_cmdFile) << "not a command file\n";
    EXPECT_EQ(Run("hidden"), 2);
    EXPECT_TRUE(fs::exists(m_cmdFile));
    m_cmdFile = m_base + "/missing";
    EXPECT_EQ(Run("hidden"), 2);
}

} // namespace

TEST_F(VexscanTest, SignatureFolderFromTheEnvironmentOrTheSettings) {
    std::ofstream(m_base + "/tree/sample.bin") << kHashVirus;
    WriteCommand("21010011", "Env");
    EXPECT_EQ(Run("hidden"), 1);
    EXPECT_NE(LogText("Env").find("sygnatur: 2 (" + m_sigs + ")"), std::string::npos);

    // Without the variable the settings name the folder; here they name a
    // folder that does not exist, which is an error and reports nothing clean.
    const std::string missing = m_base + "/no-signatures";
    ::setenv("RAMPART_ROOT", (m_base + "/state").c_str(), 1);
    ASSERT_TRUE(
        RegSetString(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kSignaturesValue, missing.c_str()));
    ::unsetenv("RAMPART_ROOT");
    m_sigs.clear();
    WriteCommand("21010011", "Settings");
    EXPECT_EQ(Run("hidden"), 2);
    const std::string log = LogText("Settings");
    EXPECT_NE(log.find("folder sygnatur " + missing + ": nie istnieje"), std::string::npos) << log;
    EXPECT_NE(log.find("clamav-freshclam"), std::string::npos) << log;
    EXPECT_EQ(log.find(": ok"), std::string::npos) << log;
}

// A shown scanner with end mode 0 would keep its window open; without a
// display, or with one that cannot be reached, it must not wait for anybody.
TEST_F(VexscanTest, WithoutAReachableDisplayNothingWaits) {
    std::ofstream(m_base + "/tree/virus.bin") << kHashVirus;
    for (const std::string display : {"", "-u QT_QPA_PLATFORM DISPLAY=:987"}) {
        SCOPED_TRACE(display);
        WriteCommand("01010011", "Stays");
        std::string out;
        EXPECT_EQ(Run("normal", &out, display), 1);
        EXPECT_NE(out.find("Stays: " + m_base + "/tree: plików 1, zainfekowanych 1"),
                  std::string::npos)
            << out;
    }
}

// In front and with a display, the scan runs in its window, which the window
// module brings (offscreen here): nothing is printed, and with end mode 2
// the window closes itself once the scan is over.
TEST_F(VexscanTest, WithADisplayTheScanRunsInItsWindow) {
    std::ofstream(m_base + "/tree/virus.bin") << kHashVirus;
    WriteCommand("21010011", "Shown");
    std::string out;
    EXPECT_EQ(Run("normal", &out, "QT_QPA_PLATFORM=offscreen DISPLAY=:987"), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(LogText("Shown").find("virus.bin: zainfekowany (Vex.Test.Hash-1"), std::string::npos)
        << LogText("Shown");
}

// A window left open on the result ("nie zatrzymuj") does not keep the job's
// scan lock: the job's next run may start while the window still shows.
TEST_F(VexscanTest, AnOpenWindowHoldsNoScanLockOnceTheScanEnds) {
    std::ofstream(m_base + "/tree/virus.bin") << kHashVirus;
    for (const auto& [name, value] : {std::pair{"RAMPART_ROOT", m_base + "/state"},
                                      {"VEX_SIGNATURES", m_sigs},
                                      {"QT_QPA_PLATFORM", std::string("offscreen")},
                                      {"DISPLAY", std::string(":987")},
                                      {"TMPDIR", m_base}})
        ::setenv(name, value.c_str(), 1);
    CScanParameter params;
    params.m_strDirectory = m_base + "/tree";
    params.m_nEndMode = 0; // the window stays until the user closes it
    params.m_nWindowMode = 0;
    params.m_nFileSelection = 0;
    params.m_nLogMode = 2;
    CLaunchedScanner scan;
    ASSERT_TRUE(params.Launch(VEXSCAN_PATH, "Okno", nullptr, &scan));
    ASSERT_TRUE(CScanLock::IsRunning("Okno"));
    for (int i = 0; i < 400 && LogText("Okno").find(": plików") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(::kill(scan.pid, 0), 0); // the window is still open
    EXPECT_FALSE(CScanLock::IsRunning("Okno"));
    ::kill(scan.pid, SIGKILL);
    ::waitpid(scan.pid, nullptr, 0);
    for (const char* name :
         {"RAMPART_ROOT", "VEX_SIGNATURES", "QT_QPA_PLATFORM", "DISPLAY", "TMPDIR"})
        ::unsetenv(name);
}

// Whoever else can change the state root could steer where a scan writes
// its log and moves files: the scanner refuses to start.
TEST_F(VexscanTest, RefusesAStateRootOthersCanChange) {
    std::ofstream(m_base + "/tree/virus") << TestString();
    fs::create_directories(m_base + "/state");
    fs::permissions(m_base + "/state", fs::perms::all);
    WriteCommand("21013011", "Job"); // delete what is found
    EXPECT_EQ(Run("hidden"), 2);
    EXPECT_TRUE(fs::exists(m_base + "/tree/virus"));
    EXPECT_FALSE(fs::exists(m_base + "/state/scanner"));
}

// A file name cannot forge a line: on stderr, which is the server's journal,
// and in the log each file stays on one line, whose path reads back to the
// name. The delete fails for a file with two links, so both are errors.
TEST_F(VexscanTest, FileNamesThatBreakLinesStayOnTheirLine) {
    const std::string forged = m_base + "/tree/x\nvexscan: forged\xe2\x80\xa8"
                                        "line.bin";
    std::ofstream(forged) << kHashVirus;
    fs::create_hard_link(forged, m_base + "/tree/y.bin");
    std::ofstream(m_base + "/tree/\xe2\x80\xa9\r\x1b.txt") << "clean\n";
    WriteCommand("20013020", "Forge");
    std::string err;
    EXPECT_EQ(Run("hidden", nullptr, "", &err), 1);
    EXPECT_TRUE(fs::exists(forged));

    const std::string escaped = EscapePath(forged);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
    EXPECT_EQ(err.rfind("vexscan: " + escaped + ": zainfekowany", 0), 0u) << err;
    EXPECT_NE(err.find("\nvexscan: " + m_base + "/tree/y.bin: zainfekowany"), std::string::npos);
    const std::string log = LogText("Forge");
    // head, databases, engine, 3 files, sum
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 7) << log;
    EXPECT_EQ(log.find('\r'), std::string::npos);
    EXPECT_EQ(log.find("\xe2\x80\xa8"), std::string::npos);
    const size_t at = log.find(escaped + ": zainfekowany");
    ASSERT_NE(at, std::string::npos) << log;
    std::string back;
    ASSERT_TRUE(UnescapePath(std::string_view(log).substr(at, escaped.size()), back));
    EXPECT_EQ(back, forged);
}

// A FUSE mount below the job's folder stands for sshfs: the walk leaves it
// unopened and says so in the log and the summary, while it scans a local
// tmpfs mount as any folder.
TEST_F(VexscanTest, NetworkMountsBelowTheFolderAreLeftOutAndSaidSo) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a file system needs root";
    const std::string local = m_base + "/tree/local";
    const std::string remote = m_base + "/tree/remote";
    fs::create_directories(local);
    fs::create_directories(remote);
    if (::mount("vextest", local.c_str(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "no mount here: " << std::strerror(errno);
    CMountGone localGone{local};
    CFuseStub fuse;
    if (!fuse.Mount(remote))
        GTEST_SKIP() << "no FUSE here: " << std::strerror(errno);
    std::ofstream(local + "/virus.bin") << kHashVirus;
    WriteCommand("20010020", "Mounts");
    EXPECT_EQ(Run("hidden"), 1);

    const std::string log = LogText("Mounts");
    EXPECT_NE(log.find(local + "/virus.bin: zainfekowany"), std::string::npos) << log;
    EXPECT_NE(log.find(remote + ": pominięto: system plików FUSE fuse.vextest"), std::string::npos)
        << log;
    EXPECT_NE(log.find("błędów 0, pominiętych punktów montowania 1"), std::string::npos) << log;
    EXPECT_FALSE(fuse.Opened());
}
