#include "DesktopRegistration.h"

#include "AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// The MIME package and the icon are the files of packaging/ themselves,
// compiled in as a Qt resource (desktop_files in app/CMakeLists.txt).
const char kMimeResource[] = ":/packaging/vex-tempora.xml";
const char kIconResource[] = ":/packaging/icons/org.example.VexTempora.svg";

QByteArray ReadResource(const char* path) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const char kWindowProgramName[] = "vex-tempora";
const char kUserMarkerKey[] = "X-Vex-Tempora-Registration";
const char kIconFileName[] = "org.example.VexTempora.svg";

// A database tool that hangs must not hold up the window's start for long.
constexpr auto kToolTimeout = std::chrono::seconds(20);

QString EnvPath(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

// XDG base directory rules: a relative XDG_DATA_HOME counts as unset.
QString DefaultDataHome() {
    QString home = EnvPath("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(home))
        return home;
    const QString userHome = EnvPath("HOME");
    return userHome.isEmpty() ? QString() : userHome + "/.local/share";
}

QStringList AbsoluteEntries(const QString& list) {
    QStringList result;
    for (const QString& entry : list.split(':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(entry))
            result << entry;
    return result;
}

QStringList DefaultDataDirs() {
    QStringList dirs = AbsoluteEntries(EnvPath("XDG_DATA_DIRS"));
    if (dirs.isEmpty())
        dirs << "/usr/local/share"
             << "/usr/share";
    return dirs;
}

QStringList DefaultSearchPath() {
    return AbsoluteEntries(EnvPath("PATH"));
}

// QStandardPaths searches $PATH when given no directories; an empty search
// path here means that nothing is found.
QString FindExecutable(const QString& name, const QStringList& dirs) {
    return dirs.isEmpty() ? QString() : QStandardPaths::findExecutable(name, dirs);
}

bool HasControlCharacter(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

// Escapes a value for a key file: only the backslash needs it here, because
// control characters are refused before.
QString KeyFileEscape(const QString& value) {
    QString escaped = value;
    escaped.replace('\\', "\\\\");
    if (escaped.startsWith(' '))
        escaped.replace(0, 1, "\\s");
    return escaped;
}

QString KeyFileUnescape(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == 's')
            out += ' ';
        else if (next == 'n')
            out += '\n';
        else if (next == 't')
            out += '\t';
        else if (next == 'r')
            out += '\r';
        else
            out += next;
    }
    return out;
}

// The value of `key` in the [Desktop Entry] group of a desktop file.
QString DesktopEntryValue(const QByteArray& file, const QString& key) {
    bool inMainGroup = false;
    for (const QByteArray& rawLine : file.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed() == key)
            return KeyFileUnescape(line.mid(eq + 1).trimmed());
    }
    return QString();
}

// The program of an (unescaped) Exec value: its first argument, unquoted.
QString ExecProgram(const QString& exec) {
    QString program;
    if (exec.startsWith('"')) {
        for (qsizetype i = 1; i < exec.size(); ++i) {
            if (exec[i] == '"')
                break;
            if (exec[i] == '\\' && i + 1 < exec.size())
                ++i;
            program += exec[i];
        }
    } else {
        program = exec.section(' ', 0, 0);
    }
    return program.replace("%%", "%");
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    // The files in question are a few kilobytes; a huge one is not ours.
    return file.read(1 << 20);
}

bool FileHolds(const QString& path, const QByteArray& content) {
    return QFileInfo(path).isFile() && ReadFile(path) == content;
}

// Writes the file unless it already holds exactly `content`. Sets `changed`
// when it wrote. False when writing failed.
bool WriteIfDifferent(const QString& path, const QByteArray& content, bool& changed) {
    if (FileHolds(path, content))
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    if (!WriteFileAtomically(QFile::encodeName(path).toStdString(), content.constData(),
                             static_cast<size_t>(content.size())))
        return false;
    changed = true;
    return true;
}

bool RemoveIf(const QString& path, bool ours) {
    return ours && QFile::remove(path);
}

// Runs `program dir` with its output discarded and waits for it (bounded).
bool RunQuietly(const QString& program, const QString& dir) {
    const QByteArray programBytes = QFile::encodeName(program);
    const QByteArray dirBytes = QFile::encodeName(dir);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    char* argv[] = {const_cast<char*>(programBytes.constData()),
                    const_cast<char*>(dirBytes.constData()), nullptr};
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, programBytes.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;

    const auto deadline = std::chrono::steady_clock::now() + kToolTimeout;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

CDesktopRegistration::CDesktopRegistration(QString programPath)
    : m_strProgram(std::move(programPath)), m_strDataHome(DefaultDataHome()),
      m_dataDirs(DefaultDataDirs()), m_searchPath(DefaultSearchPath()), m_bRoot(geteuid() == 0) {}

QByteArray CDesktopRegistration::MimePackage() {
    return ReadResource(kMimeResource);
}

QByteArray CDesktopRegistration::IconSvg() {
    return ReadResource(kIconResource);
}

QString CDesktopRegistration::QuoteExecArgument(const QString& arg) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = arg.isEmpty();
    for (QChar c : arg)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString quoted;
    if (needsQuotes) {
        quoted += '"';
        for (QChar c : arg) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    } else {
        quoted = arg;
    }
    // A literal percent sign would read as a field code.
    return quoted.replace('%', "%%");
}

QString CDesktopRegistration::ExecProgramOf(const QByteArray& desktopFile) {
    return ExecProgram(DesktopEntryValue(desktopFile, "Exec"));
}

QByteArray CDesktopRegistration::DesktopEntry() const {
    if (m_strProgram.isEmpty() || HasControlCharacter(m_strProgram))
        return QByteArray();
    const QString exec = KeyFileEscape(QuoteExecArgument(m_strProgram)) + " %f";
    QString entry;
    entry += "[Desktop Entry]\n"
             "Type=Application\n"
             "Version=1.4\n"
             "Name=Vex Tempora\n"
             "GenericName=Harmonogram analiz antywirusowych\n"
             "Comment=Planowanie i uruchamianie analiz antywirusowych Vex\n"
             "Comment[pl]=Planowanie i uruchamianie analiz antywirusowych Vex\n"
             "Icon=org.example.VexTempora\n";
    entry += "TryExec=" + KeyFileEscape(m_strProgram) + "\n";
    entry += "Exec=" + exec + "\n";
    entry += "Terminal=false\n"
             "StartupNotify=true\n"
             "Categories=System;Security;Qt;\n"
             "MimeType=application/x-vigil-dokument;\n"
             "Keywords=antywirus;analiza;harmonogram;skanowanie;Vex;\n";
    entry += QString(kUserMarkerKey) + "=user\n";
    return entry.toUtf8();
}

CDesktopRegistration::Result CDesktopRegistration::Register() {
    // Files created as root in a user's home would be stuck there (sudo keeps
    // HOME), and a system-wide installation registers itself anyway.
    if (m_bRoot)
        return Result::SkippedAsRoot;
    if (!QDir::isAbsolutePath(m_strDataHome))
        return Result::Failed;
    if (InstalledEntryOpensThisProgram()) {
        // A per-user entry of ours would hide the installed one: drop it.
        if (RemoveOwnUserFiles()) {
            RunTool("update-desktop-database", m_strDataHome + "/applications");
            RunTool("update-mime-database", m_strDataHome + "/mime");
        }
        return Result::SystemWide;
    }

    const QByteArray entry = DesktopEntry();
    if (entry.isEmpty())
        return Result::Failed;
    bool changed = false;
    if (!WriteIfDifferent(m_strDataHome + "/mime/packages/" + kMimeFileName, MimePackage(),
                          changed) ||
        !WriteIfDifferent(m_strDataHome + "/icons/hicolor/scalable/apps/" + kIconFileName,
                          IconSvg(), changed) ||
        !WriteIfDifferent(m_strDataHome + "/applications/" + kDesktopFileName, entry, changed))
        return Result::Failed;

    bool refreshed = false;
    if (changed || !MimeDatabaseCurrent())
        refreshed = RunTool("update-mime-database", m_strDataHome + "/mime") || refreshed;
    if (changed || !DesktopDatabaseCurrent())
        refreshed =
            RunTool("update-desktop-database", m_strDataHome + "/applications") || refreshed;
    return changed || refreshed ? Result::Registered : Result::AlreadyRegistered;
}

bool CDesktopRegistration::InstalledEntryOpensThisProgram() const {
    const QString self = QFileInfo(m_strProgram).canonicalFilePath();
    if (self.isEmpty())
        return false;
    for (const QString& dir : m_dataDirs) {
        if (!QFileInfo(dir + "/mime/packages/" + kMimeFileName).isFile())
            continue;
        const QString entryPath = dir + "/applications/" + kDesktopFileName;
        QString program = ExecProgramOf(ReadFile(entryPath));
        if (program.isEmpty())
            continue;
        if (!program.contains('/'))
            program = FindExecutable(program, m_searchPath);
        if (!program.isEmpty() && QFileInfo(program).canonicalFilePath() == self)
            return true;
    }
    return false;
}

bool CDesktopRegistration::RemoveOwnUserFiles() {
    const QString entryPath = m_strDataHome + "/applications/" + kDesktopFileName;
    const QString mimePath = m_strDataHome + "/mime/packages/" + kMimeFileName;
    const QString iconPath = m_strDataHome + "/icons/hicolor/scalable/apps/" + kIconFileName;
    const bool ownEntry = DesktopEntryValue(ReadFile(entryPath), kUserMarkerKey) == "user";
    bool removed = RemoveIf(entryPath, ownEntry);
    // The MIME package and the icon are ours only while they hold our bytes.
    removed = RemoveIf(mimePath, FileHolds(mimePath, MimePackage())) || removed;
    removed = RemoveIf(iconPath, FileHolds(iconPath, IconSvg())) || removed;
    return removed;
}

bool CDesktopRegistration::MimeDatabaseCurrent() const {
    if (FindTool("update-mime-database").isEmpty())
        return true;
    return QFileInfo(m_strDataHome + "/mime/" + kMimeType + ".xml").isFile();
}

bool CDesktopRegistration::DesktopDatabaseCurrent() const {
    if (FindTool("update-desktop-database").isEmpty())
        return true;
    const QByteArray cache = ReadFile(m_strDataHome + "/applications/mimeinfo.cache");
    for (const QByteArray& line : cache.split('\n'))
        if (line.startsWith(QByteArray(kMimeType) + '=') && line.contains(kDesktopFileName))
            return true;
    return false;
}

QString CDesktopRegistration::FindTool(const char* tool) const {
    return FindExecutable(QString::fromLatin1(tool), m_searchPath);
}

bool CDesktopRegistration::RunTool(const char* tool, const QString& dir) const {
    const QString program = FindTool(tool);
    return !program.isEmpty() && QFileInfo(dir).isDir() && RunQuietly(program, dir);
}

CDesktopRegistration::Result RegisterDesktopIntegration() {
    const QString program = QCoreApplication::applicationFilePath();
    if (QFileInfo(program).fileName() != QLatin1String(kWindowProgramName))
        return CDesktopRegistration::Result::NotTheWindow;
    return CDesktopRegistration(program).Register();
}
