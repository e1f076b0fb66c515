// The scan options dialog: members in, members out, the background rule, the
// directory rule and the folder browser.

#include "ScanParamDialog.h"
#include "DialogTestSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace res;

TEST(ScanParamDialog, ShowsTheMembersAndReturnsTheChoices) {
    CScanParamDialog dlg;
    dlg.m_strDirectory = "/home/ala";
    dlg.m_nInfectionAction = 3;
    dlg.m_nLogMode = 2;
    dlg.m_bHeuristic = 0;
    ModalScript script;
    script.Then([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Ustaw opcje analizy");
        EXPECT_EQ(Text(d, IDC_SCAN_DIRECTORY), "/home/ala");
        EXPECT_TRUE(IsChecked(d, 1026)); // "usuń p&lik"
        EXPECT_TRUE(IsChecked(d, 1019)); // "&dokładny protokół"
        EXPECT_TRUE(IsChecked(d, IDC_SCAN_FILES_PROGRAMS));
        EXPECT_TRUE(IsChecked(d, IDC_SCAN_END_ONINFECTION));
        EXPECT_FALSE(IsChecked(d, IDC_SCAN_HEURISTIC));
        EXPECT_TRUE(IsEnabled(d, IDC_SCAN_END_NOSTOP));
        Click(d, 1027); // "prz&esuń plik"
        Click(d, 1037); // "z akceptacją"
        Click(d, IDC_SCAN_REFCHECK_NONE);
        Click(d, IDC_SCAN_LOG_NONE);
        Click(d, IDC_SCAN_FILES_ALL);
        Click(d, IDC_SCAN_SUBDIRS);
        Click(d, IDC_SCAN_HEURISTIC);
        Click(d, IDC_SCAN_END_NOSTOP);
        return Click(d, IDOK);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nInfectionAction, 4);
    EXPECT_EQ(dlg.m_nReferenceDiffAction, 2);
    EXPECT_EQ(dlg.m_nReferenceCheck, 0);
    EXPECT_EQ(dlg.m_nLogMode, 0);
    EXPECT_EQ(dlg.m_nFileSelection, 0);
    EXPECT_EQ(dlg.m_bSubdirectories, 0);
    EXPECT_EQ(dlg.m_bHeuristic, 1);
    EXPECT_EQ(dlg.m_nEndMode, 0);
    EXPECT_EQ(dlg.m_nWindowMode, 0);
}

TEST(ScanParamDialog, BackgroundModeForcesAlwaysExit) {
    CScanParamDialog dlg;
    dlg.m_strDirectory = "/";
    dlg.m_nWindowMode = 1;
    dlg.m_nEndMode = 0;
    ModalScript script;
    script.Then([](QDialog& d) {
        EXPECT_TRUE(IsChecked(d, IDC_SCAN_END_ALWAYS));
        for (int id : {IDC_SCAN_END_NOSTOP, IDC_SCAN_END_ONINFECTION, IDC_SCAN_END_ALWAYS})
            EXPECT_FALSE(IsEnabled(d, id));
        return Click(d, IDOK);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nEndMode, 2);
    EXPECT_EQ(dlg.m_nWindowMode, 1);
}

TEST(ScanParamDialog, SwitchingToTheBackgroundAndBack) {
    CScanParamDialog dlg;
    dlg.m_strDirectory = "/";
    ModalScript script;
    script.Then([](QDialog& d) {
        Click(d, IDC_SCAN_WINDOW_BACKGROUND);
        EXPECT_TRUE(IsChecked(d, IDC_SCAN_END_ALWAYS));
        EXPECT_FALSE(IsEnabled(d, IDC_SCAN_END_NOSTOP));
        Click(d, IDC_SCAN_WINDOW_FRONT);
        EXPECT_TRUE(IsEnabled(d, IDC_SCAN_END_NOSTOP));
        EXPECT_TRUE(IsEnabled(d, IDC_SCAN_END_ONINFECTION));
        EXPECT_TRUE(IsChecked(d, IDC_SCAN_END_ALWAYS));
        return Click(d, IDOK);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nWindowMode, 0);
    EXPECT_EQ(dlg.m_nEndMode, 2);
}

TEST(ScanParamDialog, AnEmptyDirectoryCannotBeConfirmed) {
    CScanParamDialog dlg;
    dlg.m_strDirectory = "/tmp";
    ModalScript script;
    script.Then([](QDialog& d) {
        EXPECT_TRUE(IsEnabled(d, IDOK));
        ClearText(d, IDC_SCAN_DIRECTORY);
        EXPECT_FALSE(IsEnabled(d, IDOK));
        EXPECT_EQ(DefaultButtonId(d), IDCANCEL);
        // Nor a folder the scanner would refuse: relative, or from Windows.
        KeyClicks(d, IDC_SCAN_DIRECTORY, "x");
        EXPECT_FALSE(IsEnabled(d, IDOK));
        ClearText(d, IDC_SCAN_DIRECTORY);
        KeyClicks(d, IDC_SCAN_DIRECTORY, "C:\\");
        EXPECT_FALSE(IsEnabled(d, IDOK));
        ClearText(d, IDC_SCAN_DIRECTORY);
        KeyClicks(d, IDC_SCAN_DIRECTORY, "/x");
        EXPECT_TRUE(IsEnabled(d, IDOK));
        EXPECT_EQ(DefaultButtonId(d), IDOK);
        return Click(d, IDOK);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_strDirectory, "/x");
}

TEST(ScanParamDialog, ValuesNoButtonStandsForAreKept) {
    // Stored data may carry numbers that the dialog has no button for.
    CScanParamDialog dlg;
    dlg.m_strDirectory = "/";
    dlg.m_nLogMode = 7;
    ModalScript script;
    script.Then([](QDialog& d) {
        EXPECT_FALSE(IsChecked(d, IDC_SCAN_LOG_NONE));
        EXPECT_FALSE(IsChecked(d, 1018));
        EXPECT_FALSE(IsChecked(d, 1019));
        return Click(d, IDOK);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nLogMode, 7);
}

TEST(ScanParamDialog, BrowseTakesAChosenFolderOnly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("plik.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    CScanParamDialog dlg;
    dlg.m_strDirectory = "/start";
    ModalScript script;
    auto choose = [](const QString& path, int answer) {
        return [path, answer](QDialog& d) {
            auto* browser = qobject_cast<QFileDialog*>(&d);
            EXPECT_NE(browser, nullptr);
            EXPECT_EQ(d.windowTitle(), "Wybierz folder:");
            if (browser != nullptr && !path.isEmpty())
                browser->selectFile(path);
            return answer;
        };
    };
    script.Then([](QDialog& d) {
        Click(d, IDC_SCAN_BROWSE); // cancelled
        EXPECT_EQ(Text(d, IDC_SCAN_DIRECTORY), "/start");
        Click(d, IDC_SCAN_BROWSE); // a file, not a folder
        EXPECT_EQ(Text(d, IDC_SCAN_DIRECTORY), "/start");
        Click(d, IDC_SCAN_BROWSE); // a folder
        return Click(d, IDOK);
    });
    script.Then(choose(dir.path(), QDialog::Rejected));
    script.Then(choose(file, QDialog::Accepted));
    script.Then(choose(dir.path(), QDialog::Accepted));
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(QString::fromStdString(dlg.m_strDirectory), QDir(dir.path()).absolutePath());
    EXPECT_TRUE(script.Done());
}

// The browser opens on the field's folder (or the nearest one above it that
// exists), on the user's home when the field is empty, never on the
// program's working folder.
TEST(ScanParamDialog, BrowseOpensOnTheFieldsFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString inner = dir.filePath("a/b");
    ASSERT_TRUE(QDir().mkpath(inner));
    const struct {
        std::string field;
        QString start;
    } cases[] = {
        {inner.toStdString(), inner},
        {(inner + "/gone/deeper").toStdString(), inner},
        {"", QDir::homePath()},
    };
    for (const auto& c : cases) {
        CScanParamDialog dlg;
        dlg.m_strDirectory = c.field;
        ModalScript script;
        script.Then([](QDialog& d) {
            Click(d, IDC_SCAN_BROWSE);
            return Click(d, IDCANCEL);
        });
        script.Then([&c](QDialog& d) {
            auto* browser = qobject_cast<QFileDialog*>(&d);
            EXPECT_NE(browser, nullptr);
            if (browser != nullptr) {
                EXPECT_EQ(browser->directory().absolutePath(), c.start) << c.field;
            }
            return QDialog::Rejected;
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_TRUE(script.Done());
    }
}

} // namespace
