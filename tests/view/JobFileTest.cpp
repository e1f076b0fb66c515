#include "JobFile.h"
#include "Daily.h"
#include "Job.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {
// A complete job: daily at 13:30, active, with a last start.
std::vector<BYTE> StoredJob(const char* name, bool started = false) {
    CJob job;
    job.SetName(name);
    CDaily daily;
    const int hour = 13, minute = 30;
    daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    job.SetPeriod(daily, COleDateTime(2026, 12, 7, 13, 20, 45));
    if (started)
        job.SetLastStart(COleDateTime(2026, 12, 8, 9, 15, 0), true);
    return job.Store();
}

std::vector<BYTE> Header(DWORD count) {
    std::vector<BYTE> out = EncodeJobFile({});
    std::memcpy(out.data() + out.size() - 4, &count, 4);
    return out;
}

void AppendRecord(std::vector<BYTE>& file, const std::vector<BYTE>& record, DWORD size) {
    for (int i = 0; i < 4; ++i)
        file.push_back(static_cast<BYTE>(size >> (8 * i)));
    file.insert(file.end(), record.begin(), record.end());
}

JobFileStatus ReadAll(const std::vector<BYTE>& file, std::vector<std::string>* names = nullptr) {
    CJobFileReader reader(file.data(), file.size());
    JobFileStatus status = reader.ReadHeader(JobFileSignature());
    CJob job;
    while (status == JobFileStatus::Ok) {
        status = reader.ReadNext(job);
        if (status == JobFileStatus::Ok && names != nullptr)
            names->push_back(job.GetName());
    }
    return status;
}
} // namespace

TEST(JobFile, EmptyExportIsSignatureAndZeroCount) {
    const std::vector<BYTE> file = EncodeJobFile({});
    std::vector<BYTE> expected = {16};
    for (char c : std::string("Vex Tempora v1.0"))
        expected.push_back(static_cast<BYTE>(c));
    expected.insert(expected.end(), {0, 0, 0, 0});
    EXPECT_EQ(file, expected);
    EXPECT_EQ(ReadAll(file), JobFileStatus::End);
}

TEST(JobFile, RecordsRoundTripWithAllStoredFields) {
    const std::vector<BYTE> a = StoredJob("Dyski"), b = StoredJob("Łódź nocą", true);
    const std::vector<BYTE> file = EncodeJobFile({a, b});
    CJobFileReader reader(file.data(), file.size());
    ASSERT_EQ(reader.ReadHeader(JobFileSignature()), JobFileStatus::Ok);
    EXPECT_EQ(reader.GetCount(), 2u);
    CJob job;
    ASSERT_EQ(reader.ReadNext(job), JobFileStatus::Ok);
    EXPECT_EQ(job.Store(), a);
    ASSERT_EQ(reader.ReadNext(job), JobFileStatus::Ok);
    EXPECT_EQ(job.Store(), b);
    EXPECT_TRUE(job.HasLastStart());
    EXPECT_EQ(reader.ReadNext(job), JobFileStatus::End);
    EXPECT_EQ(reader.GetRead(), 2u);
}

TEST(JobFile, OtherFirstTextsAreNotJobFiles) {
    const std::string text = "Vex Tempora v1.0";
    auto withPrefix = [&](std::vector<BYTE> prefix, const std::string& body) {
        prefix.insert(prefix.end(), body.begin(), body.end());
        prefix.insert(prefix.end(), {0, 0, 0, 0});
        return prefix;
    };
    EXPECT_EQ(ReadAll({}), JobFileStatus::WrongSignature);
    const std::string plain = "Just a text file\n";
    EXPECT_EQ(ReadAll(std::vector<BYTE>(plain.begin(), plain.end())),
              JobFileStatus::WrongSignature);
    EXPECT_EQ(ReadAll(withPrefix({16}, "vex tempora v1.0")), JobFileStatus::WrongSignature);
    EXPECT_EQ(ReadAll(withPrefix({16}, "Vex Tempora v1.1")), JobFileStatus::WrongSignature);
    // Cut inside the signature, and a length far beyond the file.
    EXPECT_EQ(ReadAll({16, 'V', 'e', 'x'}), JobFileStatus::WrongSignature);
    EXPECT_EQ(ReadAll({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), JobFileStatus::WrongSignature);
    // The long length forms are understood.
    EXPECT_EQ(ReadAll(withPrefix({0xFF, 16, 0}, text)), JobFileStatus::End);
    EXPECT_EQ(ReadAll(withPrefix({0xFF, 0xFF, 0xFF, 16, 0, 0, 0}, text)), JobFileStatus::End);
}

TEST(JobFile, DamageStopsAtTheBrokenRecordAndKeepsTheOnesBefore) {
    const std::vector<BYTE> good = StoredJob("Dobry");
    std::vector<std::string> names;

    // The count is missing.
    std::vector<BYTE> noCount = Header(0);
    noCount.resize(noCount.size() - 2);
    EXPECT_EQ(ReadAll(noCount, &names), JobFileStatus::Damaged);

    // A huge count with one record: the record is read, then the file ends.
    std::vector<BYTE> file = Header(0xFFFFFFFF);
    AppendRecord(file, good, static_cast<DWORD>(good.size()));
    names.clear();
    EXPECT_EQ(ReadAll(file, &names), JobFileStatus::Damaged);
    EXPECT_EQ(names, std::vector<std::string>{"Dobry"});

    // A record size beyond the end of the file.
    file = Header(2);
    AppendRecord(file, good, static_cast<DWORD>(good.size()));
    AppendRecord(file, good, 0xFFFFFFF0);
    names.clear();
    EXPECT_EQ(ReadAll(file, &names), JobFileStatus::Damaged);
    EXPECT_EQ(names.size(), 1u);

    // A record cut short: its size says more than the stored form holds.
    file = Header(1);
    std::vector<BYTE> cut(good.begin(), good.end() - 5);
    AppendRecord(file, cut, static_cast<DWORD>(cut.size()));
    EXPECT_EQ(ReadAll(file), JobFileStatus::Damaged);

    // Record size larger than the stored form inside it (trailing bytes).
    file = Header(2);
    std::vector<BYTE> padded = good;
    padded.insert(padded.end(), {1, 2, 3});
    AppendRecord(file, padded, static_cast<DWORD>(padded.size()));
    AppendRecord(file, good, static_cast<DWORD>(good.size()));
    names.clear();
    EXPECT_EQ(ReadAll(file, &names), JobFileStatus::Damaged);
    EXPECT_TRUE(names.empty());

    // The name's inner length runs past the record.
    file = Header(1);
    std::vector<BYTE> badName = good;
    badName[0] = 0xF0;
    AppendRecord(file, badName, static_cast<DWORD>(badName.size()));
    EXPECT_EQ(ReadAll(file), JobFileStatus::Damaged);

    // Once damaged, the reader stays so.
    CJobFileReader reader(file.data(), file.size());
    ASSERT_EQ(reader.ReadHeader(JobFileSignature()), JobFileStatus::Ok);
    CJob job;
    EXPECT_EQ(reader.ReadNext(job), JobFileStatus::Damaged);
    EXPECT_EQ(reader.ReadNext(job), JobFileStatus::Damaged);
}

TEST(JobFile, NameFieldPaddedAfterItsZeroByteIsRead) {
    // Other writers give the name field a fixed size: "Dom", its zero byte
    // and padding, with the field's length counting all of it.
    const std::vector<BYTE> plain = StoredJob("Dom", true);
    std::vector<BYTE> padded = {12, 0, 0, 0, 'D', 'o', 'm', 0, 0, 'x', 0, 0, 0, 0, 0, 0};
    padded.insert(padded.end(), plain.begin() + 4 + 4, plain.end());
    std::vector<BYTE> file = Header(2);
    AppendRecord(file, padded, static_cast<DWORD>(padded.size()));
    AppendRecord(file, StoredJob("Dwa"), static_cast<DWORD>(plain.size()));
    std::vector<std::string> names;
    EXPECT_EQ(ReadAll(file, &names), JobFileStatus::End);
    EXPECT_EQ(names, (std::vector<std::string>{"Dom", "Dwa"}));
    // Bytes after the scan options are still damage.
    padded.push_back(0);
    file = Header(1);
    AppendRecord(file, padded, static_cast<DWORD>(padded.size()));
    EXPECT_EQ(ReadAll(file), JobFileStatus::Damaged);
}

TEST(JobFile, SaveReplacesWholeAndReadsBack) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("a.scj").toStdString();
    {
        QFile old(QString::fromStdString(path));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'x'));
    }
    const std::vector<BYTE> bytes = EncodeJobFile({StoredJob("A")});
    ASSERT_TRUE(SaveJobFile(path, bytes));
    std::vector<BYTE> back;
    ASSERT_EQ(ReadFileBytes(path, back), JobFileStatus::Ok);
    EXPECT_EQ(back, bytes);
    // Nothing is left beside the file.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.scj"});

    // A target that cannot be written reports failure.
    EXPECT_FALSE(SaveJobFile(QDir(dir.path()).filePath("missing/b.scj").toStdString(), bytes));
    EXPECT_FALSE(SaveJobFile(dir.path().toStdString(), bytes));
    EXPECT_EQ(ReadFileBytes(QDir(dir.path()).filePath("none.scj").toStdString(), back),
              JobFileStatus::CannotOpen);
}

TEST(JobFile, OversizedFileIsRefusedWithoutReadingIt) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("big.scj");
    {
        QFile big(path);
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(static_cast<qint64>(kMaxJobFileSize) + 1)); // sparse
    }
    std::vector<BYTE> bytes;
    EXPECT_EQ(ReadFileBytes(path.toStdString(), bytes), JobFileStatus::Damaged);
    EXPECT_TRUE(bytes.empty());
}
