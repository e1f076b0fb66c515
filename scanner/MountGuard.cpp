#include "MountGuard.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/sysmacros.h>

namespace {

enum class EKind { Local, Network, Fuse, Automount };

EKind KindOf(std::string_view type) {
    static const std::set<std::string_view> kNetwork = {
        "nfs",   "nfs4",     "cifs",  "smb3",   "smbfs",    "smb",    "9p",
        "ceph",  "afs",      "coda",  "ncpfs",  "ncp",      "lustre", "gpfs",
        "pvfs2", "orangefs", "davfs", "beegfs", "glusterfs"};
    if (kNetwork.count(type) != 0)
        return EKind::Network;
    if (type == "autofs")
        return EKind::Automount;
    if (type == "fuse" || type.substr(0, 5) == "fuse.")
        return EKind::Fuse;
    return EKind::Local;
}

} // namespace

std::string WhyNotEntered(std::string_view rootType, std::string_view type) {
    const EKind kind = KindOf(type);
    if (kind == EKind::Local || kind == KindOf(rootType))
        return {};
    switch (kind) {
    case EKind::Automount:
        return "punkt automatycznego montowania (autofs)";
    case EKind::Fuse:
        return "system plików FUSE " + std::string(type) + ", być może sieciowy";
    default:
        return "system plików sieciowy " + std::string(type);
    }
}

void CMountGuard::Start(int rootFd) {
    m_types.clear();
    m_asked.clear();
    ReadMountTable();
    struct stat st {};
    m_strRootType = ::fstat(rootFd, &st) == 0 ? TypeOf(st.st_dev) : std::string();
}

std::string CMountGuard::Check(int parentFd, const struct stat& st) {
    struct stat parent {};
    if (::fstat(parentFd, &parent) == 0 && parent.st_dev == st.st_dev)
        return {}; // no mount point
    return WhyNotEntered(m_strRootType, TypeOf(st.st_dev));
}

// A device missing from the table may have been mounted since it was read;
// it is read again once for each such device.
std::string CMountGuard::TypeOf(dev_t dev) {
    auto it = m_types.find(dev);
    if (it == m_types.end() && m_asked.insert(dev).second) {
        ReadMountTable();
        it = m_types.find(dev);
    }
    return it == m_types.end() ? std::string() : it->second;
}

// Lines of /proc/self/mountinfo: "36 35 0:52 / /mnt rw - nfs4 srv:/ rw"; the
// third field is the device, the first after " - " the type.
void CMountGuard::ReadMountTable() {
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, parentId, device, field;
        fields >> id >> parentId >> device;
        while (fields >> field && field != "-") {
        }
        unsigned major = 0, minor = 0;
        std::string type;
        if (fields >> type && std::sscanf(device.c_str(), "%u:%u", &major, &minor) == 2)
            m_types[makedev(major, minor)] = type;
    }
}
