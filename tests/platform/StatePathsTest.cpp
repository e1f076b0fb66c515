#include "StatePaths.h"

#include "TempStateRoot.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Restores an environment variable when the test ends.
class CEnvGuard {
public:
    explicit CEnvGuard(const char* name) : m_name(name) {
        if (const char* value = std::getenv(name))
            m_value = value, m_set = true;
    }
    ~CEnvGuard() {
        if (m_set)
            setenv(m_name, m_value.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::string m_value;
    bool m_set = false;
};

} // namespace

TEST(StatePaths, RootComesFromRampartRootThenXdgDataHomeThenHome) {
    CEnvGuard root("RAMPART_ROOT"), xdg("XDG_DATA_HOME"), home("HOME");
    setenv("HOME", "/home/ala", 1);
    setenv("XDG_DATA_HOME", "/data", 1);
    setenv("RAMPART_ROOT", "/srv/state", 1);
    EXPECT_EQ(StateRoot(), "/srv/state");
    EXPECT_EQ(StatePath("machine.db"), "/srv/state/machine.db");

    setenv("RAMPART_ROOT", "", 1);
    EXPECT_EQ(StateRoot(), "/data/rampart");
    unsetenv("RAMPART_ROOT");
    EXPECT_EQ(StateRoot(), "/data/rampart");

    // A relative XDG_DATA_HOME is not valid and is ignored.
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(StateRoot(), "/home/ala/.local/share/rampart");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(StateRoot(), "/home/ala/.local/share/rampart");
}

TEST(StatePaths, EnsureStateRootMakesMissingParentsPrivately) {
    CTempStateRoot temp;
    const std::string nested = temp.Path() + "/a/b/c/";
    setenv("RAMPART_ROOT", nested.c_str(), 1);
    ASSERT_TRUE(EnsureStateRoot());
    struct stat st {};
    ASSERT_EQ(stat(nested.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(EnsureStateRoot());
    EXPECT_EQ(StatePath("x"), nested + "x");

    const std::string file = temp.Path() + "/a/file";
    FILE* f = fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    setenv("RAMPART_ROOT", (file + "/below").c_str(), 1);
    EXPECT_FALSE(EnsureStateRoot());
    setenv("RAMPART_ROOT", temp.Path().c_str(), 1);
}
