#pragma once

// Small signature databases for tests, written into a folder the way the
// signature updater would leave them: a hash signature (.hdb: MD5, size and
// name) of some content, and body signatures (.ndb: name, any file type, any
// offset, the bytes in hex).

#include <QByteArray>
#include <QCryptographicHash>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

inline void AddHashSignature(const std::string& folder, const std::string& content,
                             const std::string& name) {
    std::filesystem::create_directories(folder);
    QByteArray md5 =
        QCryptographicHash::hash(QByteArray::fromStdString(content), QCryptographicHash::Md5);
    std::ofstream(folder + "/vex-test.hdb", std::ios::app)
        << md5.toHex().toStdString() << ":" << content.size() << ":" << name << "\n";
}

inline void AddBodySignature(const std::string& folder, const std::string& bytes,
                             const std::string& name) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/vex-test.ndb", std::ios::app)
        << name << ":0:*:" << QByteArray::fromStdString(bytes).toHex().toStdString() << "\n";
}

// The content and marker that the databases of MakeTestSignatures recognise.
inline const std::string kHashVirus = "vex hash-signature test sample\n";
inline const std::string kBodyMarker = "VEX-BODY-SIGNATURE-MARKER-7F3A";

inline std::string MakeTestSignatures(const std::string& folder) {
    AddHashSignature(folder, kHashVirus, "Vex.Test.Hash-1");
    AddBodySignature(folder, kBodyMarker, "Vex.Test.Body-1");
    return folder;
}

// The 512-byte header of a signed database built at `built`, alone: what the
// header reader sees, though the engine would refuse to load it.
inline void WriteDatabaseHeader(const std::string& folder, const std::string& file,
                                unsigned version, unsigned signatures, std::time_t built) {
    std::filesystem::create_directories(folder);
    std::string head = "ClamAV-VDB:01 Jan 2026 00-00 +0000:" + std::to_string(version) + ":" +
                       std::to_string(signatures) +
                       ":90:0123456789abcdef:dsig:vex-test:" + std::to_string(built);
    head.resize(512, ' ');
    std::ofstream(folder + "/" + file, std::ios::binary) << head;
}
