#include "ViewFixture.h"

#include "JobFile.h"
#include "ResourceIds.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

namespace {
class DocTest : public ViewFixture {
protected:
    std::string PathIn(const char* name) const {
        return QDir(m_files.path()).filePath(QString::fromUtf8(name)).toStdString();
    }

    static QByteArray Contents(const std::string& path) {
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void Write(const std::string& path, const std::vector<BYTE>& bytes) {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }

    // Names of the stored jobs in store order.
    std::vector<std::string> StoredNames() {
        std::vector<std::string> names;
        CJob job;
        DWORD index = 0;
        while (m_raw.EnumJob(&index, &job))
            names.push_back(job.GetName());
        return names;
    }

    void DeleteAll() {
        for (const std::string& name : StoredNames())
            ASSERT_TRUE(m_raw.DeleteJob(name.c_str()));
    }

    QTemporaryDir m_files;
};
} // namespace

TEST_F(DocTest, StoreThatCannotBeOpenedEndsWithMessage162) {
    QTemporaryDir empty;
    setenv("RAMPART_ROOT", empty.path().toUtf8().constData(), 1);
    CVigilDoc doc;
    EXPECT_FALSE(doc.OnNewDocument());
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].id, 162u);
    // Its events are named from a secret in that root, which goes first.
    CNamedEvent::Remove(kServerEventName);
    CNamedBroadcast::Remove(kClientEventName);
}

TEST_F(DocTest, StateRootOthersMayChangeEndsWithMessage192) {
    ASSERT_EQ(chmod(m_root.Path().c_str(), 0777), 0);
    CVigilDoc doc;
    EXPECT_FALSE(doc.OnNewDocument());
    chmod(m_root.Path().c_str(), 0700);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text.toStdString(),
              "Dane programu „" + m_root.Path() +
                  "” należą do innego użytkownika albo mogą je zmieniać inni. Program z nich nie "
                  "skorzysta.");
}

TEST_F(DocTest, ExportOfAStoreThatCannotBeReadWholeKeepsTheFile) {
    // Jobs with long folders over many pages; then one page in the middle
    // is spoiled behind the database's back.
    for (int i = 0; i < 80; ++i) {
        auto job = MakeJob(("Analiza " + std::to_string(i)).c_str(), 6, 0);
        job->GetScanParameter().m_strDirectory =
            "/znacznik-" + std::to_string(1000 + i) + "/" + std::string(300, 'd');
        Store(*job);
    }
    const std::string path = PathIn("kopia.scj");
    Write(path, {1, 2, 3});
    const std::string db = RegHivePath(HKEY_LOCAL_MACHINE);
    QByteArray bytes = Contents(db);
    const qsizetype at = bytes.indexOf("/znacznik-1040/");
    ASSERT_GT(at, 4096);
    bytes.replace(at / 4096 * 4096, 8, QByteArray(8, '\x7f'));
    QFile file(QString::fromStdString(db));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    CVigilDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_FALSE(doc.ExportFile(path));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.startsWith(
        QString::fromUtf8("Nie mogę odczytać wszystkich ustawień analiz")));
    EXPECT_EQ(Contents(path), QByteArray("\x01\x02\x03", 3));
}

TEST_F(DocTest, RowsStayWhenTheStoreCannotBeReadForThem) {
    for (int i = 0; i < 80; ++i) {
        auto job = MakeJob(("Analiza " + std::to_string(i)).c_str(), 6, 0);
        job->GetScanParameter().m_strDirectory =
            "/znacznik-" + std::to_string(1000 + i) + "/" + std::string(300, 'd');
        Store(*job);
    }
    OpenView();
    ASSERT_EQ(m_view->rowCount(), 80);
    // A page in the middle is spoiled and the file's change counter moved
    // on, so that every connection reads the pages again.
    const std::string db = RegHivePath(HKEY_LOCAL_MACHINE);
    QByteArray bytes = Contents(db);
    const qsizetype at = bytes.indexOf("/znacznik-1040/");
    ASSERT_GT(at, 4096);
    bytes.replace(at / 4096 * 4096, 8, QByteArray(8, '\x7f'));
    bytes[27] = static_cast<char>(bytes[27] + 1);
    QFile file(QString::fromStdString(db));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    m_doc->UpdateAllViews(nullptr, kHintJobsDeleted, nullptr);
    EXPECT_EQ(m_view->rowCount(), 80);
}

TEST_F(DocTest, ImportPassesOverAJobNothingCanCarryOutAndNamesIt) {
    auto endless = MakeJob("Bez końca", 6, 0);
    endless->GetScanParameter().m_nEndMode = 0xFFFFFFFF;
    auto windows = MakeJob("Dane %s", 6, 30, 0, "C:\\Dane"); // from another system
    auto fine = MakeJob("Dobra", 7, 0);
    const std::string path = PathIn("mixed.scj");
    Write(path, EncodeJobFile({endless->Store(), windows->Store(), fine->Store()}));
    OpenView();
    EXPECT_TRUE(m_doc->ImportFile(path));
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[0].text.toStdString(),
              "Ustawień analizy „Bez końca” nie można zapisać ani wykonać: opcja analizy poza "
              "zakresem. Zostały pominięte.");
    EXPECT_TRUE(m_messages[1].text.startsWith(QString::fromUtf8(
        "Ustawień analizy „Dane %s” nie można zapisać ani wykonać: folder nie jest ścieżką "
        "bezwzględną")))
        << m_messages[1].text.toStdString();
    EXPECT_EQ(StoredNames(), std::vector<std::string>{"Dobra"});
}

TEST_F(DocTest, ExportThenImportIntoEmptyStoreRecreatesJobsWithoutLastStarts) {
    auto a = MakeJob("Dyski", 13, 0, 0, "/home");
    a->SetLastStart(COleDateTime(LocalTime(kYear, kMonth, kDay, 9, 0)), true);
    auto b = MakeJob("Łódź", 22, 15);
    b->SetActive(false);
    Store(*a);
    Store(*b);
    OpenView();
    const std::string path = PathIn("jobs");
    m_filesToPick.push_back(path);
    EXPECT_TRUE(m_commands->Execute(res::ID_FILE_SAVE_AS));
    EXPECT_EQ(m_fileDialogTitles.back(), QString("Exportuj ustawień analiz"));
    EXPECT_EQ(m_fileDialogFilters.back(),
              QStringList{QString::fromUtf8("Pliki ustawień analizy (*.scj)")});
    ASSERT_TRUE(QFile::exists(QString::fromStdString(path + ".scj")));

    DeleteAll();
    m_view->OnUpdate(nullptr, 2, nullptr);
    EXPECT_EQ(m_view->rowCount(), 0);
    m_filesToPick.push_back(path + ".scj");
    EXPECT_TRUE(m_commands->Execute(res::ID_FILE_OPEN));
    EXPECT_EQ(m_fileDialogTitles.back(), QString("Importuj ustawienia analiz"));
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"Dyski", "Łódź"}));
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"Dyski", "Łódź"}));

    CJob back;
    ASSERT_TRUE(m_raw.ReadJob("Dyski", &back));
    EXPECT_FALSE(back.HasLastStart());
    EXPECT_STREQ(back.GetDirectory(), "/home");
    EXPECT_TRUE(back.GetPeriod()->IsEqual(*a->GetPeriod()));
    EXPECT_TRUE(back.IsActive());
    ASSERT_TRUE(m_raw.ReadJob("Łódź", &back));
    EXPECT_FALSE(back.IsActive());
}

TEST_F(DocTest, ImportOverExistingJobsAsksOncePerJob) {
    auto a = MakeJob("a", 13, 0);
    a->SetLastStart(COleDateTime(LocalTime(kYear, kMonth, kDay, 9, 0)), true);
    auto b = MakeJob("b", 14, 0);
    const std::string path = PathIn("two.scj");
    Write(path, EncodeJobFile({a->Store(), b->Store()}));
    // The store holds older versions of both.
    auto oldA = MakeJob("a", 6, 0);
    auto oldB = MakeJob("B", 7, 0);
    Store(*oldA);
    Store(*oldB);
    OpenView();

    ASSERT_TRUE(m_doc->ImportFile(path));
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[0].text,
              QString::fromUtf8("Ustawienia analizy o nazwie \"a\" już istnieją. Zastąpić?"));
    EXPECT_EQ(m_messages[0].type, MB_YESNO | MB_FORALL | MB_ICONQUESTION);
    EXPECT_EQ(m_messages[1].text,
              QString::fromUtf8("Ustawienia analizy o nazwie \"b\" już istnieją. Zastąpić?"));
    CJob stored;
    ASSERT_TRUE(m_raw.ReadJob("a", &stored));
    EXPECT_EQ(stored.Store(), oldA->Store());

    // Yes replaces the job. It keeps the last start of the active job it
    // replaces, which is this machine's, not the one the file carries.
    m_messages.clear();
    m_answers = {IDYES, IDNO};
    ASSERT_TRUE(m_doc->ImportFile(path));
    EXPECT_EQ(m_messages.size(), 2u);
    ASSERT_TRUE(m_raw.ReadJob("a", &stored));
    CJob expected;
    const std::vector<BYTE> fileForm = a->Store();
    ASSERT_TRUE(expected.Load(fileForm.data(), fileForm.size()));
    expected.PrepareIncoming(oldA.get(), 0);
    EXPECT_EQ(stored.Store(), expected.Store());
    EXPECT_EQ(stored.GetLastStart(), oldA->GetLastStart());
    EXPECT_EQ(stored.HasLastStart(), oldA->HasLastStart());
    ASSERT_TRUE(m_raw.ReadJob("b", &stored));
    EXPECT_EQ(stored.Store(), oldB->Store());
    EXPECT_EQ(m_view->item(0, 2)->text(), QString::fromUtf8(a->GetPeriodText(GetResourceHandle())));
}

TEST_F(DocTest, ImportAnswersForTheRestOfTheFileOrCancelsIt) {
    std::vector<std::vector<BYTE>> records;
    for (const char* name : {"a", "b", "c"}) {
        Store(*MakeJob(name, 6, 0));
        records.push_back(MakeJob(name, 13, 0)->Store());
    }
    records.push_back(MakeJob("nowa", 13, 0)->Store());
    const std::string path = PathIn("four.scj");
    Write(path, EncodeJobFile(records));
    OpenView();
    auto replaced = [this] {
        std::vector<int> result;
        for (const char* name : {"a", "b", "c"}) {
            CJob job;
            result.push_back(
                m_raw.ReadJob(name, &job) ? job.Store() == MakeJob(name, 13, 0)->Store() : -1);
        }
        return result;
    };
    // The user presses a button of the box by its label.
    auto press = [](const char* label, int* asked) {
        return [label, asked](QDialog& dialog) {
            ++*asked;
            return AnswerOfButton(dialog, QString::fromUtf8(label));
        };
    };

    // Escape is "Anuluj": nothing more is asked or imported, new names neither.
    int asked = 0;
    {
        ScopedModalHook hook([&](QDialog& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            EXPECT_EQ(box->escapeButton()->text(), QString("Anuluj"));
            return press("Anuluj", &asked)(dialog);
        });
        EXPECT_TRUE(m_doc->ImportFile(path));
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(replaced(), (std::vector<int>{0, 0, 0}));
    EXPECT_FALSE(m_raw.ReadJob("nowa", nullptr));

    // "Nie, dla żadnej" keeps every taken name and still adds the new one.
    asked = 0;
    {
        ScopedModalHook hook(press("Nie, dla ż&adnej", &asked));
        EXPECT_TRUE(m_doc->ImportFile(path));
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(replaced(), (std::vector<int>{0, 0, 0}));
    EXPECT_TRUE(m_raw.ReadJob("nowa", nullptr));

    // "Tak" for the first, then "Tak, dla wszystkich" for the rest.
    asked = 0;
    {
        int n = 0;
        ScopedModalHook hook([&](QDialog& dialog) {
            return press(n++ == 0 ? "&Tak" : "Tak, dla &wszystkich", &asked)(dialog);
        });
        EXPECT_TRUE(m_doc->ImportFile(path));
    }
    EXPECT_EQ(asked, 2); // a, then b for the rest: c and "nowa" (taken now) without a word
    EXPECT_EQ(replaced(), (std::vector<int>{1, 1, 1}));
}

TEST_F(DocTest, ImportedYearOldJobsWaitForTheirNextTime) {
    // A year-old file: one job that ran then, one that never ran.
    const time_t yearAgo = LocalTime(kYear - 1, kMonth, kDay, 12, 0);
    auto ran = MakeJob("Stary", 8, 0, yearAgo);
    ran->SetLastStart(COleDateTime(yearAgo), true);
    auto fresh = MakeJob("Nowy", 13, 0, yearAgo);
    const std::string path = PathIn("old.scj");
    Write(path, EncodeJobFile({ran->Store(), fresh->Store()}));
    OpenView();
    ASSERT_TRUE(m_doc->ImportFile(path));
    CJob stored;
    ASSERT_TRUE(m_raw.ReadJob("Stary", &stored));
    EXPECT_EQ(stored.GetSecondsToNextStart(m_now), 20 * 3600);
    EXPECT_FALSE(stored.HasLastStart());
    ASSERT_TRUE(m_raw.ReadJob("Nowy", &stored));
    EXPECT_EQ(stored.GetSecondsToNextStart(m_now), 3600);
}

TEST_F(DocTest, WrongAndDamagedFilesAreRejectedKeepingWhatCameBefore) {
    OpenView();
    const std::string text = PathIn("notes.scj");
    Write(text, {'h', 'e', 'l', 'l', 'o'});
    EXPECT_FALSE(m_doc->ImportFile(text));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].id, 167u);
    EXPECT_TRUE(StoredNames().empty());

    const std::string emptyFile = PathIn("empty.scj");
    Write(emptyFile, {});
    EXPECT_FALSE(m_doc->ImportFile(emptyFile));
    EXPECT_EQ(m_messages.back().id, 167u);

    // Two good records, then one cut short: the two stay imported.
    std::vector<BYTE> bytes = EncodeJobFile(
        {MakeJob("x", 1, 0)->Store(), MakeJob("y", 2, 0)->Store(), MakeJob("z", 3, 0)->Store()});
    bytes.resize(bytes.size() - 7);
    const std::string damaged = PathIn("damaged.scj");
    Write(damaged, bytes);
    m_messages.clear();
    EXPECT_FALSE(m_doc->ImportFile(damaged));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].id, 0u); // a composed text naming the file
    EXPECT_EQ(m_messages[0].text, QString::fromStdString(FormatMessageText(176, damaged.c_str())));
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"x", "y"}));

    // A file that cannot be read is reported, not passed over.
    m_messages.clear();
    EXPECT_FALSE(m_doc->ImportFile(PathIn("missing.scj")));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text,
              QString::fromStdString(FormatMessageText(179, PathIn("missing.scj").c_str())));
}

TEST_F(DocTest, CancelledImportStillBringsTheListInStep) {
    Store(*MakeJob("a", 13, 0));
    Store(*MakeJob("gone", 13, 0));
    OpenView();
    Store(*MakeJob("new", 13, 0));
    ASSERT_TRUE(m_raw.DeleteJob("gone"));
    EXPECT_TRUE(m_commands->Execute(res::ID_FILE_OPEN));
    EXPECT_EQ(m_fileDialogTitles.size(), 1u);
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"a", "new"}));
}

TEST_F(DocTest, ExportCompletesTheNameAndAsksBeforeReplacingTheCompletedFile) {
    Store(*MakeJob("a", 13, 0));
    OpenView();
    // Ends in .SCJ: used as it is.
    m_filesToPick.push_back(PathIn("upper.SCJ"));
    m_doc->OnJobExport();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(PathIn("upper.SCJ"))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(PathIn("upper.SCJ.scj"))));
    // .scj.bak gets .scj appended.
    m_filesToPick.push_back(PathIn("old.scj.bak"));
    m_doc->OnJobExport();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(PathIn("old.scj.bak.scj"))));
    EXPECT_TRUE(m_messages.empty());

    // The completed name exists: No keeps it as it was.
    const std::string completed = PathIn("keep.scj");
    Write(completed, {'o', 'l', 'd'});
    m_filesToPick.push_back(PathIn("keep"));
    m_answers = {IDNO};
    m_doc->OnJobExport();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text,
              QString::fromStdString(FormatMessageText(177, completed.c_str())));
    EXPECT_EQ(Contents(completed), QByteArray("old"));
    // Yes replaces it.
    m_filesToPick.push_back(PathIn("keep"));
    m_answers = {IDYES};
    m_doc->OnJobExport();
    const QByteArray written = Contents(completed);
    std::vector<BYTE> bytes(written.begin(), written.end());
    CJobFileReader reader(bytes.data(), bytes.size());
    ASSERT_EQ(reader.ReadHeader(JobFileSignature()), JobFileStatus::Ok);
    EXPECT_EQ(reader.GetCount(), 1u);
}

TEST_F(DocTest, FailedExportLeavesExistingFileWholeAndSaysSo) {
    OpenView();
    EXPECT_FALSE(m_doc->ExportFile(PathIn("no/such/dir.scj")));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text,
              QString::fromStdString(FormatMessageText(178, PathIn("no/such/dir.scj").c_str())));
    // An empty store exports the signature and a count of 0.
    ASSERT_TRUE(m_doc->ExportFile(PathIn("empty.scj")));
    const QByteArray bytes = Contents(PathIn("empty.scj"));
    EXPECT_EQ(bytes, QByteArray("\x10Vex Tempora v1.0\0\0\0\0", 21));
}

TEST_F(DocTest, SaveAsksForANameOnceThenWritesToIt) {
    Store(*MakeJob("a", 13, 0));
    OpenView();
    m_filesToPick.push_back(PathIn("saved"));
    EXPECT_TRUE(m_commands->Execute(res::ID_FILE_SAVE));
    EXPECT_EQ(m_fileDialogTitles.size(), 1u);
    EXPECT_EQ(m_fileDialogFilters.back(),
              QStringList{QString::fromUtf8("Rodzaj pliku ustawień analizy (*.scj)")});
    EXPECT_EQ(m_doc->GetPathName(), PathIn("saved.scj"));
    Store(*MakeJob("b", 13, 0));
    EXPECT_TRUE(m_commands->Execute(res::ID_FILE_SAVE));
    EXPECT_EQ(m_fileDialogTitles.size(), 1u);
    const QByteArray written = Contents(PathIn("saved.scj"));
    std::vector<BYTE> bytes(written.begin(), written.end());
    CJobFileReader reader(bytes.data(), bytes.size());
    ASSERT_EQ(reader.ReadHeader(JobFileSignature()), JobFileStatus::Ok);
    EXPECT_EQ(reader.GetCount(), 2u);
}

TEST(JobFileNames, ExtensionTestIgnoresCase) {
    EXPECT_TRUE(HasJobFileExtension("a.scj"));
    EXPECT_TRUE(HasJobFileExtension("/x/A.ScJ"));
    EXPECT_FALSE(HasJobFileExtension("a.scj.bak"));
    EXPECT_FALSE(HasJobFileExtension("scj"));
    EXPECT_TRUE(HasJobFileExtension(".scj"));
}
