#include "ProgramFile.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using namespace std::string_view_literals;

struct CMagic {
    size_t offset;
    std::string_view bytes;
};

// Formats told by fixed bytes at a fixed place; the scanner reads 64 KiB, so
// places up to there are seen.
constexpr CMagic kMagics[] = {
    // Executables and code.
    {0, "\x7f"
        "ELF"sv},
    {0, "MZ"sv},               // DOS and Windows programs, self-extracting archives, installers
    {0, "\xfe\xed\xfa\xce"sv}, // Mach-O, 32 and 64 bits, both byte orders
    {0, "\xfe\xed\xfa\xcf"sv},
    {0, "\xce\xfa\xed\xfe"sv},
    {0, "\xcf\xfa\xed\xfe"sv},
    {0, "\xca\xfe\xba\xbe"sv}, // Java class, universal Mach-O
    {0, "dex\n"sv},            // Android
    {0, "\0asm"sv},            // WebAssembly
    {0, "#!"sv},
    {0, "FWS"sv}, // Flash, plain and compressed
    {0, "CWS"sv},
    {0, "ZWS"sv},
    {0, "L\0\0\0\x01\x14\x02\0"sv}, // Windows shortcut
    // Archives and compressed files.
    {0, "PK\x03\x04"sv}, // zip, and jar, apk and the office formats built on it
    {0, "PK\x05\x06"sv},
    {0, "PK\x07\x08"sv},
    {0, "\x1f\x8b"sv}, // gzip
    {0, "\x1f\x9d"sv}, // compress
    {0, "BZh"sv},
    {0, "\xfd"
        "7zXZ\0"sv},
    {0, "\x5d\0\0"sv},         // lzma
    {0, "\x28\xb5\x2f\xfd"sv}, // zstd
    {0, "\x04\x22\x4d\x18"sv}, // lz4
    {0, "LZIP"sv},
    {0, "7z\xbc\xaf\x27\x1c"sv},
    {0, "Rar!\x1a\x07"sv}, // rar 4 and 5
    {0, "MSCF"sv},         // cabinet
    {0, "ISc("sv},         // InstallShield cabinet
    {0, "SZDD\x88\xf0\x27\x33"sv},
    {0, "KWAJ\x88\xf0\x27\xd1"sv},
    {0, "\x60\xea"sv}, // ARJ
    {2, "-lh"sv},      // LHA
    {2, "-lz"sv},
    {0, "ALZ\x01"sv},
    {0, "EGGA"sv},
    {0, "ITSF"sv},             // compiled HTML help
    {0, "!<arch>\n"sv},        // ar, deb
    {0, "\xed\xab\xee\xdb"sv}, // rpm
    {0, "xar!"sv},
    {0, "070707"sv}, // cpio with text headers
    {0, "070701"sv},
    {0, "070702"sv},
    {0, "\xc7\x71"sv}, // cpio with binary headers, both byte orders
    {0, "\x71\xc7"sv},
    {257, "ustar"sv},
    // Disk images.
    {32769, "CD001"sv},  // ISO 9660
    {32769, "BEA01"sv},  // UDF
    {512, "EFI PART"sv}, // GPT
    // Mail attachments and phone packages.
    {0, "\x78\x9f\x3e\x22"sv}, // TNEF (winmail.dat)
    {8, "\x19\x04\x00\x10"sv}, // SIS before Symbian 9
    {0, "\x7a\x1a\x20\x10"sv}, // SIS from Symbian 9 on
    // Documents that can carry macros, scripts or embedded objects.
    {0, "\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"sv}, // compound files: older office, msi, msg
    {0, "\xe4\x52\x5c\x7b\x8c\xd8\xa7\x4d\xae\xb1\x53\x78\xd0\x29\x96\xd3"sv}, // OneNote
    {0, "{\\rtf"sv},
    {0, "%!PS"sv},
    {0, "HWP Document File"sv},
};

// Extensions of scripts, programs, documents with macros, archives, disk
// images and mail, for what the first bytes do not tell (a DOS .com file, a
// script that looks like prose, a dmg whose mark is at its end); sorted.
constexpr std::string_view kExtensions[] = {
    "7z",   "a3x",  "ace",   "ade",  "adp",   "alz",   "apk",  "app",     "appx", "ar",   "arj",
    "asp",  "aspx", "au3",   "bas",  "bash",  "bat",   "bz2",  "cab",     "cgi",  "chm",  "class",
    "cmd",  "com",  "cpio",  "cpl",  "crx",   "csh",   "deb",  "desktop", "dex",  "dll",  "dmg",
    "doc",  "docm", "docx",  "dot",  "dotm",  "drv",   "efi",  "egg",     "eml",  "exe",  "gz",
    "hlp",  "hta",  "htm",   "html", "hwp",   "inf",   "ins",  "iso",     "isp",  "jar",  "js",
    "jse",  "jsp",  "ko",    "ksh",  "lha",   "lnk",   "lua",  "lz",      "lzh",  "lzma", "mbox",
    "mbx",  "mht",  "mhtml", "mjs",  "msc",   "msg",   "msi",  "msp",     "mst",  "ocx",  "odp",
    "ods",  "odt",  "one",   "pdf",  "php",   "phtml", "pif",  "pkg",     "pl",   "pm",   "potm",
    "ppam", "pps",  "ppsm",  "ppt",  "pptm",  "pptx",  "ps",   "ps1",     "psd1", "psm1", "py",
    "pyc",  "pyo",  "pyw",   "rar",  "rb",    "reg",   "rpm",  "rtf",     "scf",  "scr",  "sct",
    "sh",   "shs",  "shtml", "sis",  "sisx",  "so",    "svg",  "swf",     "sys",  "tar",  "taz",
    "tbz",  "tbz2", "tcl",   "tgz",  "tnef",  "txz",   "url",  "vb",      "vbe",  "vbs",  "war",
    "wsc",  "wsf",  "wsh",   "xar",  "xhtml", "xla",   "xlam", "xll",     "xls",  "xlsb", "xlsm",
    "xlsx", "xlt",  "xltm",  "xpi",  "xsl",   "xz",    "z",    "zip",     "zsh",  "zst",
};
static_assert(std::ranges::is_sorted(kExtensions));

// In lower-case text, anywhere: encoded mail data, web pages and the calls
// that scripts use to fetch, decode or start code.
constexpr std::string_view kActiveMarkers[] = {
    "(this file must be converted with binhex",
    "<script",
    "<iframe",
    "<html",
    "<!doctype html",
    "<body",
    "<head",
    "<frameset",
    "<object",
    "<embed",
    "<applet",
    "<form",
    "<meta",
    "<svg",
    "<a href",
    "<img",
    "<?php",
    "<?xml",
    "<%",
    "javascript:",
    "vbscript:",
    "#@~^", // encoded script
    "document.write",
    "eval(",
    "unescape(",
    "fromcharcode",
    "activexobject",
    "wscript.",
    "createobject",
    "powershell",
    "/dev/tcp/",
    "base64 -d",
    "| sh",
    "| bash",
};

// Header names that open a mail message or a news article, lower case.
constexpr std::string_view kMessageHeaders[] = {
    "authentication-results",
    "cc",
    "content-type",
    "date",
    "delivered-to",
    "dkim-signature",
    "envelope-to",
    "from",
    "message-id",
    "mime-version",
    "newsgroups",
    "path",
    "received",
    "reply-to",
    "return-path",
    "sender",
    "subject",
    "to",
};

// Lines of a text file that, when two of them open lines, make it a script:
// commands and keywords of shells, batch files, JavaScript, Python, Perl,
// PHP, PowerShell and VBScript. An entry that ends in a letter must be a
// whole word.
constexpr std::string_view kScriptStarts[] = {
    "@echo",   "alias",      "cd",         "chmod",    "chown",    "const", "curl",
    "def",     "dim",        "done",       "echo",     "elif",     "esac",  "eval",
    "exec",    "export",     "fi",         "function", "goto",     "if [",  "import",
    "invoke-", "mkdir",      "new-object", "nohup",    "on error", "param", "require",
    "rm",      "set -",      "setlocal",   "sub",      "sudo",     "trap",  "umask",
    "unset",   "use strict", "var",        "wget",     "while [",  "$(",    "${",
};

bool At(std::string_view head, size_t offset, std::string_view bytes) {
    return head.size() >= offset && head.size() - offset >= bytes.size() &&
           head.compare(offset, bytes.size(), bytes) == 0;
}

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// A tar header without the POSIX mark (old tar): its checksum field holds
// the sum of the header's bytes, the field itself counted as blanks.
bool IsOldTar(std::string_view head) {
    if (head.size() < 512 || head[0] == '\0')
        return false;
    unsigned stored = 0;
    bool digits = false;
    for (size_t i = 148; i < 156; ++i) {
        const char c = head[i];
        if (c >= '0' && c <= '7') {
            stored = stored * 8 + static_cast<unsigned>(c - '0');
            digits = true;
        } else if (c != ' ' && c != '\0') {
            return false;
        } else if (digits) {
            break;
        }
    }
    unsigned sum = 0;
    for (size_t i = 0; i < 512; ++i)
        sum += i >= 148 && i < 156 ? ' ' : static_cast<unsigned char>(head[i]);
    return digits && sum == stored;
}

bool HasProgramHeader(std::string_view head) {
    for (const CMagic& magic : kMagics)
        if (At(head, magic.offset, magic.bytes))
            return true;
    // A PDF reader looks for its mark in the first kilobyte.
    return head.substr(0, 1024).find("%PDF-") != std::string_view::npos || IsOldTar(head);
}

bool HasProgramExtension(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot > 9)
        return false;
    std::string ext(name.substr(dot + 1));
    std::ranges::transform(ext, ext.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return std::ranges::binary_search(kExtensions, std::string_view(ext));
}

// Text as a mail program or a browser would take it; UTF-16 with its byte
// order mark (as Windows editors save scripts) narrowed to its ASCII part,
// everything in lower case. Empty for binary data.
std::string LowerText(std::string_view head) {
    std::string text;
    const bool littleEndian = At(head, 0, "\xff\xfe"sv);
    if (littleEndian || At(head, 0, "\xfe\xff"sv)) {
        for (size_t i = 2; i + 1 < head.size(); i += 2) {
            const char low = head[littleEndian ? i : i + 1];
            const char high = head[littleEndian ? i + 1 : i];
            text += high == '\0' ? low : '\x80';
        }
    } else if (std::memchr(head.data(), '\0', head.size()) == nullptr) {
        text.assign(head);
    }
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// An mbox line or a message header at the start.
bool StartsMessage(std::string_view text) {
    if (text.starts_with("\xef\xbb\xbf"))
        text.remove_prefix(3);
    if (text.starts_with("from "))
        return true;
    const std::string_view name = text.substr(0, text.find(':'));
    if (name.size() == text.size() || name.find_first_of(" \t\r\n") != std::string_view::npos)
        return false;
    return name.starts_with("x-") ||
           std::ranges::find(kMessageHeaders, name) != std::end(kMessageHeaders);
}

// The start of uuencoded data: "begin", the file's mode in octal, its name.
bool IsUuencodeBegin(std::string_view line) {
    if (line.starts_with("begin-base64 "))
        return true;
    if (!line.starts_with("begin "))
        return false;
    size_t digits = 0;
    while (6 + digits < line.size() && line[6 + digits] >= '0' && line[6 + digits] <= '7')
        ++digits;
    return (digits == 3 || digits == 4) && At(line, 6 + digits, " "sv);
}

bool StartsScriptLine(std::string_view line) {
    for (std::string_view start : kScriptStarts) {
        if (!line.starts_with(start))
            continue;
        if (!IsWordChar(start.back()) || line.size() == start.size() ||
            !IsWordChar(line[start.size()]))
            return true;
    }
    return false;
}

// MIME parts, uuencoded data, or two lines that open like a script.
bool HasActiveLines(std::string_view text) {
    int scriptLines = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        if (line.starts_with("mime-version:") || line.starts_with("content-type:") ||
            line.starts_with("content-transfer-encoding:") || IsUuencodeBegin(line))
            return true;
        if (StartsScriptLine(line) && ++scriptLines == 2)
            return true;
    }
    return false;
}

bool IsActiveText(std::string_view head) {
    const std::string text = LowerText(head);
    if (text.empty())
        return false;
    if (StartsMessage(text))
        return true;
    for (std::string_view marker : kActiveMarkers)
        if (text.find(marker) != std::string::npos)
            return true;
    return HasActiveLines(text);
}

} // namespace

bool IsProgramFile(mode_t mode, std::string_view name, std::string_view head) {
    // Any one of these makes a program file; the cheap ones come first.
    return (mode & 0111) != 0 || HasProgramHeader(head) || HasProgramExtension(name) ||
           IsActiveText(head);
}
