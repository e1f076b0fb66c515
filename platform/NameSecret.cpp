#include "NameSecret.h"

#include "StatePaths.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kSecretSize = 32;
// Shorter than anything CreateSecret writes: damaged.
constexpr ssize_t kMinSecretSize = 16;
constexpr qsizetype kMaxSecretSize = 256;

// The root as an absolute, cleaned path, so that "a/b/" and "a/b" or a
// relative spelling from the same directory give one name.
QByteArray NormalisedRoot() {
    const QString root = QString::fromStdString(StateRoot());
    return QDir::cleanPath(QDir::current().absoluteFilePath(root)).toUtf8();
}

QByteArray BootId() {
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

std::string Stem(const QByteArray& tag) {
    return "/vex." + std::to_string(getuid()) + "." + tag.toStdString() + ".";
}

std::string Refusal(const std::string& path, const std::string& why) {
    return "sekret nazw " + path + " " + why + "; usuń go i uruchom program ponownie";
}

std::string Failure(const std::string& path, const char* pszWhat) {
    return "sekret nazw " + path + " " + pszWhat + ": " + std::strerror(errno);
}

// Why the open secret may not be used; empty when it may.
std::string CheckSecretFile(int fd, const std::string& path) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Refusal(path, "nie jest zwykłym plikiem");
    if (st.st_uid != geteuid())
        return "sekret nazw " + path + " należy do użytkownika " + std::to_string(st.st_uid) +
               ", nie do ciebie; usuń go (jako ten użytkownik albo root) i uruchom program "
               "ponownie";
    if (st.st_mode & (S_IRWXG | S_IRWXO))
        return Refusal(path, "jest dostępny dla innych użytkowników");
    return std::string();
}

// The secret at path; empty when it is missing (strError stays empty) or
// cannot be used (strError says why).
QByteArray ReadSecret(const std::string& path, std::string& strError) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            strError = Failure(path, "nie daje się odczytać");
        return QByteArray();
    }
    QByteArray secret(kMaxSecretSize, '\0');
    strError = CheckSecretFile(fd, path);
    const ssize_t n = strError.empty() ? read(fd, secret.data(), secret.size()) : 0;
    if (strError.empty() && n < kMinSecretSize)
        strError =
            n < 0 ? Failure(path, "nie daje się odczytać") : Refusal(path, "jest uszkodzony");
    close(fd);
    if (!strError.empty())
        return QByteArray();
    secret.truncate(n);
    return secret;
}

// Makes the secret unless another first user of the root was quicker. It is
// written whole into a file of its own (O_EXCL, 0600) and only then linked
// under its name, which fails when the name exists: nobody ever reads half a
// secret, and every user takes the one linked first.
bool CreateSecret(const std::string& path, std::string& strError) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        strError = Failure(path, "nie daje się utworzyć");
        return false;
    }
    unsigned char bytes[kSecretSize];
    const auto size = static_cast<ssize_t>(sizeof bytes);
    const bool bMade = getrandom(bytes, sizeof bytes, 0) == size &&
                       write(fd, bytes, sizeof bytes) == size && fsync(fd) == 0 &&
                       (link(temp.c_str(), path.c_str()) == 0 || errno == EEXIST);
    if (!bMade)
        strError = Failure(path, "nie daje się utworzyć");
    close(fd);
    unlink(temp.c_str());
    return bMade;
}

// Only the owner of a state root that passes the check may read or make its
// secret: whoever else could change the root could have put it there.
QByteArray NameSecret(bool bCreate, std::string& strError) {
    struct stat st {};
    if (stat(StateRoot().c_str(), &st) != 0)
        return QByteArray();
    const CStateProblem problem = CheckStateRoot();
    if (problem.kind != CStateProblem::None) {
        strError = DescribeStateProblemPl(problem, problem.strPath, "'" + problem.strPath + "'");
        return QByteArray();
    }
    const std::string path = NameSecretPath();
    QByteArray secret = ReadSecret(path, strError);
    if (secret.isEmpty() && strError.empty() && bCreate && CreateSecret(path, strError))
        secret = ReadSecret(path, strError);
    return secret;
}

} // namespace

std::string NameSecretPath() {
    return StatePath("names.key");
}

std::string SecretNameStem(bool bCreate, std::string* pstrError) {
    std::string strError;
    const QByteArray secret = NameSecret(bCreate, strError);
    if (pstrError != nullptr)
        *pstrError = strError;
    if (secret.isEmpty())
        return std::string();
    const QByteArray tag = QMessageAuthenticationCode::hash(NormalisedRoot() + '\n' + BootId(),
                                                            secret, QCryptographicHash::Sha256);
    return Stem(tag.toHex().left(32));
}

std::string PublicNameStem() {
    const QByteArray hash = QCryptographicHash::hash(NormalisedRoot(), QCryptographicHash::Sha256);
    return Stem(hash.toHex().left(16));
}
