#include "JobFile.h"

#include "AtomicFile.h"
#include "ByteReader.h"
#include "Job.h"
#include "StringTable.h"

#include <QFile>

namespace {
constexpr unsigned kSignatureId = 166;

// The archive's string encoding of a text's length.
void PutArchiveLength(std::vector<BYTE>& out, size_t n) {
    auto put = [&out](uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<BYTE>(v >> (8 * i)));
    };
    if (n < 0xFF) {
        put(n, 1);
    } else if (n < 0xFFFF) {
        put(0xFF, 1);
        put(n, 2);
    } else {
        put(0xFF, 1);
        put(0xFFFF, 2);
        put(n, 4);
    }
}

// Reads a length in the archive's string encoding.
bool ReadArchiveLength(CByteReader& in, size_t& n) {
    BYTE b = 0;
    if (!in.ReadU8(b))
        return false;
    if (b < 0xFF) {
        n = b;
        return true;
    }
    WORD w = 0;
    if (!in.ReadU16(w))
        return false;
    if (w < 0xFFFF) {
        n = w;
        return true;
    }
    DWORD d = 0;
    if (!in.ReadU32(d))
        return false;
    n = d;
    return true;
}

void PutU32(std::vector<BYTE>& out, DWORD v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}
} // namespace

std::string JobFileSignature() {
    return LoadResString(kSignatureId);
}

std::vector<BYTE> EncodeJobFile(const std::vector<std::vector<BYTE>>& records) {
    const std::string signature = JobFileSignature();
    std::vector<BYTE> out;
    PutArchiveLength(out, signature.size());
    out.insert(out.end(), signature.begin(), signature.end());
    PutU32(out, static_cast<DWORD>(records.size()));
    for (const auto& record : records) {
        PutU32(out, static_cast<DWORD>(record.size()));
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

bool SaveJobFile(const std::string& path, const std::vector<BYTE>& bytes, std::string* pstrError) {
    return WriteFileAtomically(path, bytes.data(), bytes.size(), pstrError);
}

JobFileStatus ReadFileBytes(const std::string& path, std::vector<BYTE>& out) {
    out.clear();
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return JobFileStatus::CannotOpen;
    // Read at most one byte past the limit to learn whether it is exceeded;
    // the size reported by the file system is not trusted (pipes, /proc).
    QByteArray data = file.read(static_cast<qint64>(kMaxJobFileSize) + 1);
    if (file.error() != QFileDevice::NoError)
        return JobFileStatus::CannotOpen;
    if (static_cast<size_t>(data.size()) > kMaxJobFileSize)
        return JobFileStatus::Damaged;
    out.assign(data.begin(), data.end());
    return JobFileStatus::Ok;
}

CJobFileReader::CJobFileReader(const BYTE* p, size_t n) : m_p(p), m_n(p != nullptr ? n : 0) {}

JobFileStatus CJobFileReader::ReadHeader(std::string_view signature) {
    CByteReader in(m_p, m_n);
    size_t length = 0;
    // A text of another length, or one cut short, is not our signature: the
    // length is compared first, so a huge one reads nothing.
    if (!ReadArchiveLength(in, length) || length != signature.size() || in.Remaining() < length ||
        std::string_view(reinterpret_cast<const char*>(in.Current()), length) != signature)
        return JobFileStatus::WrongSignature;
    in.Skip(length);
    if (!in.ReadU32(m_nCount)) {
        m_bDamaged = true;
        return JobFileStatus::Damaged;
    }
    m_pos = in.Consumed();
    m_bHeader = true;
    return JobFileStatus::Ok;
}

JobFileStatus CJobFileReader::ReadNext(CJob& job) {
    if (!m_bHeader || m_bDamaged)
        return JobFileStatus::Damaged;
    if (m_nRead >= m_nCount)
        return JobFileStatus::End;
    CByteReader in(m_p + m_pos, m_n - m_pos);
    DWORD size = 0;
    bool ok = in.ReadU32(size) && size <= in.Remaining();
    // The stored form must fill the record exactly: trailing bytes mean the
    // inner lengths and the record size disagree. A name field padded after
    // its zero byte is part of the form.
    size_t consumed = 0;
    ok = ok && job.Load(in.Current(), size, &consumed) && consumed == size;
    if (!ok) {
        m_bDamaged = true;
        return JobFileStatus::Damaged;
    }
    in.Skip(size);
    m_pos += in.Consumed();
    ++m_nRead;
    return JobFileStatus::Ok;
}
