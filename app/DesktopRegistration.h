#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Registers the ".scj" job file type and the window program with the desktop
// for the current user, so that job files show as "Vgl Dokument" and open in
// the program from the file manager. Writes below $XDG_DATA_HOME only:
//   applications/org.example.VexTempora.desktop
//   mime/packages/vex-tempora.xml
//   icons/hicolor/scalable/apps/org.example.VexTempora.svg
// then refreshes the user's desktop and MIME databases when their tools exist.
// Work that is done already is never repeated, and nothing is written when an
// installed (system-wide) desktop entry already opens this very program.
//
// Uses QtCore only, so it runs and is tested without a display.
class CDesktopRegistration {
public:
    enum class Result {
        Registered,        // files written or databases refreshed
        AlreadyRegistered, // the user's registration is current; nothing touched
        SystemWide,        // an installed desktop entry opens this program
        SkippedAsRoot,     // never writes desktop files as root
        Failed,            // a file could not be written, or the path cannot be registered
        NotTheWindow,      // the running program is not vex-tempora (a test, a tool)
    };

    // programPath: absolute path of the program that opens job files.
    explicit CDesktopRegistration(QString programPath);

    // The defaults come from the environment: XDG_DATA_HOME, XDG_DATA_DIRS,
    // PATH (to find the database tools and the installed entry's program) and
    // the effective user id.
    void SetDataHome(const QString& dir) { m_strDataHome = dir; }
    void SetDataDirs(const QStringList& dirs) { m_dataDirs = dirs; }
    void SetSearchPath(const QStringList& dirs) { m_searchPath = dirs; }
    void SetRunningAsRoot(bool bRoot) { m_bRoot = bRoot; }

    Result Register();

    // The per-user desktop entry for this program (empty when its path holds
    // control characters, which a desktop entry cannot carry).
    QByteArray DesktopEntry() const;

    // The shared-mime-info package and the scalable icon, the same bytes the
    // installation puts into the system directories.
    static QByteArray MimePackage();
    static QByteArray IconSvg();

    // The program path as one argument of an Exec line, quoted and escaped as
    // desktop entries require (before the key-file escaping of backslashes).
    static QString QuoteExecArgument(const QString& arg);

    // The program that a desktop entry's Exec line starts (its first
    // argument, unescaped and unquoted); empty when the entry has none.
    static QString ExecProgramOf(const QByteArray& desktopFile);

    static constexpr const char* kDesktopFileName = "org.example.VexTempora.desktop";
    static constexpr const char* kMimeFileName = "vex-tempora.xml";
    static constexpr const char* kMimeType = "application/x-vigil-dokument";

private:
    bool InstalledEntryOpensThisProgram() const;
    bool RemoveOwnUserFiles();
    bool MimeDatabaseCurrent() const;
    bool DesktopDatabaseCurrent() const;
    bool RunTool(const char* tool, const QString& dir) const;
    QString FindTool(const char* tool) const;

    QString m_strProgram;
    QString m_strDataHome;
    QStringList m_dataDirs;
    QStringList m_searchPath;
    bool m_bRoot;
};

// Start-up entry point of the window: registers the running program
// (QCoreApplication::applicationFilePath()) with the defaults above, but only
// when it is the window program itself, so that test programs that start the
// application object never claim the job file type.
CDesktopRegistration::Result RegisterDesktopIntegration();
