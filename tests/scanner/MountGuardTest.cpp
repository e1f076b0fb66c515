// Which mounts below a job's folder the walk enters, by the type the mount
// table gives them.
#include "MountGuard.h"

#include <gtest/gtest.h>

TEST(MountGuardTest, NetworkFuseAndAutomountsAreLeftOutUnlessTheFolderIsOnOne) {
    for (const char* type : {"nfs", "nfs4", "cifs", "smb3", "9p", "ceph", "afs", "coda"})
        EXPECT_EQ(WhyNotEntered("ext4", type), std::string("system plików sieciowy ") + type);
    EXPECT_EQ(WhyNotEntered("ext4", "fuse.sshfs"),
              "system plików FUSE fuse.sshfs, być może sieciowy");
    EXPECT_EQ(WhyNotEntered("btrfs", "autofs"), "punkt automatycznego montowania (autofs)");
    EXPECT_NE(WhyNotEntered("fuse.sshfs", "nfs4"), "");

    for (const char* type : {"ext4", "tmpfs", "btrfs", "vfat", "fuseblk", ""})
        EXPECT_EQ(WhyNotEntered("ext4", type), "") << type;
    // A job on such a file system asked for it.
    EXPECT_EQ(WhyNotEntered("nfs4", "nfs"), "");
    EXPECT_EQ(WhyNotEntered("fuse.sshfs", "fuse.rclone"), "");
    EXPECT_EQ(WhyNotEntered("autofs", "autofs"), "");
}
