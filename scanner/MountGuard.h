#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

// The walk stays out of network file systems (NFS, SMB/CIFS, 9p, Ceph, AFS,
// Coda and the like), FUSE file systems and the automounter's mount points
// below the job's folder, unless the job's folder lies on one of the same
// kind itself. A FUSE file system may be local, but sshfs cannot be told
// apart from one by anything the kernel says of it, so FUSE counts as
// network; fuseblk (FUSE on a block device, such as NTFS disks) is local.
//
// The type comes from the mount table (/proc/self/mountinfo), looked up by
// the folder's device: it asks nothing of the file system itself, which on
// a network is a request that may hang, and it does not open the folder,
// which would set off an automount (the walk takes the folder's status
// with AT_NO_AUTOMOUNT for the same reason).

// Why the walk does not enter a file system of the type named type (as the
// mount table names it: "nfs4", "fuse.sshfs", "autofs") when the job's
// folder lies on one of type rootType; empty when it enters it.
std::string WhyNotEntered(std::string_view rootType, std::string_view type);

// Decides at each folder of one walk whether the walk enters it.
class CMountGuard {
public:
    // The walk begins at the open folder rootFd.
    void Start(int rootFd);
    // Why the walk does not enter the folder whose status (not following a
    // link) is st, found in the open folder parentFd; empty when it enters.
    std::string Check(int parentFd, const struct stat& st);

private:
    std::string TypeOf(dev_t dev);
    void ReadMountTable();

    std::string m_strRootType;
    std::map<dev_t, std::string> m_types; // from the mount table
    std::set<dev_t> m_asked;              // not in the table when last read
};
