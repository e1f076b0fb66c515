// The quarantine dialog driven as a user would, on a quarantine of real files.
#include "QuarantineDlg.h"
#include "DialogTestSupport.h"
#include "Quarantine.h"
#include "ScanPaths.h"
#include "TempStateRoot.h"

#include <QFileDialog>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Puts content into the quarantine of root as a scan would, found at path.
void Quarantine(const std::string& root, const std::string& file, const std::string& path,
                const std::string& content, std::int64_t time) {
    const std::string folder = CScanPaths::ForJob(root, "").m_strQuarantine;
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/" + file) << content;
    CQuarantineRecord record;
    record.m_strPath = path;
    record.m_uid = ::geteuid();
    record.m_gid = ::getegid();
    record.m_mode = 0640;
    record.m_nSize = content.size();
    record.m_strSha256 = std::string(64, 'a');
    record.m_strFinding = "Vex.Test";
    record.m_strJob = "Dom";
    record.m_nTime = time;
    const int qfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string error;
    EXPECT_TRUE(CQuarantine::WriteRecord(qfd, file, record, error)) << error;
    ::close(qfd);
}

QTreeWidgetItem* Row(QTreeWidget* list, const std::string& path) {
    const auto found = list->findItems(QString::fromStdString(path), Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

TEST(QuarantineDlg, RestoreAsksForAnotherNameAndDeleteAsksFirst) {
    CTempStateRoot root;
    const std::string taken = root.Path() + "/taken.txt";
    const std::string second = root.Path() + "/second.txt";
    std::ofstream(taken) << "mine";
    Quarantine(root.Path(), "100-1-0-taken.txt", taken, "caught", 1000);
    Quarantine(root.Path(), "200-1-0-second.txt", second, "second file", 2000);
    CQuarantineDlg dlg(root.Path());
    QTreeWidget* list = dlg.List();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(CQuarantineDlg::kPath).toStdString(), second);
    list->sortByColumn(CQuarantineDlg::kSize, Qt::AscendingOrder);
    EXPECT_EQ(list->topLevelItem(0)->text(CQuarantineDlg::kPath).toStdString(), taken);

    // A taken place: a warning, then the name the user chooses.
    const std::string elsewhere = root.Path() + "/elsewhere.txt";
    ModalScript script;
    script.Then([](QDialog& d) {
        EXPECT_TRUE(MessageBoxText(d).contains("już istnieje")) << MessageBoxText(d).toStdString();
        return IDOK;
    });
    script.Then([&](QDialog& d) {
        auto* chooser = qobject_cast<QFileDialog*>(&d);
        EXPECT_NE(chooser, nullptr);
        if (chooser)
            chooser->selectFile(QString::fromStdString(elsewhere));
        return QDialog::Accepted;
    });
    list->setCurrentItem(Row(list, taken));
    dlg.RestoreButton()->click();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(ReadFile(taken), "mine");
    EXPECT_EQ(ReadFile(elsewhere), "caught");
    ASSERT_EQ(list->topLevelItemCount(), 1);

    // "No" keeps the file, "Yes" deletes it with its record.
    list->setCurrentItem(Row(list, second));
    script.Then([](QDialog&) { return IDNO; });
    dlg.DeleteButton()->click();
    EXPECT_EQ(list->topLevelItemCount(), 1);
    script.Then([](QDialog&) { return IDYES; });
    dlg.DeleteButton()->click();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_FALSE(dlg.RestoreButton()->isEnabled());
    EXPECT_TRUE(std::filesystem::is_empty(CScanPaths::ForJob(root.Path(), "").m_strQuarantine));
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.Unexpected(), 0);
}
