#include "TestSupport.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

const QString kHelp = QStringLiteral(VEX_SOURCE_DIR "/packaging/help");

QStringList Pages() {
    return QDir(kHelp).entryList({"*.html"}, QDir::Files, QDir::Name);
}

QStringList Matches(const QString& text, const char* pattern) {
    QStringList found;
    auto it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(1);
    return found;
}

QString Page(const QString& name) {
    return QString::fromUtf8(ReadAll(kHelp + "/" + name));
}

TEST(HelpPages, AreWellFormedPolishPages) {
    ASSERT_GE(Pages().size(), 10);
    for (const QString& name : Pages()) {
        SCOPED_TRACE(name.toStdString());
        const QString page = Page(name);
        EXPECT_TRUE(page.contains("<html lang=\"pl\""));
        EXPECT_TRUE(page.contains("<meta charset=\"utf-8\"/>"));
        EXPECT_TRUE(page.contains("href=\"index.html\">Spis treści"));
        EXPECT_TRUE(page.contains("href=\"skorowidz.html\">Indeks"));
        if (HaveTool("xmllint")) {
            std::string out;
            EXPECT_EQ(RunCommand("xmllint --noout " + ShellQuote(kHelp + "/" + name), &out), 0)
                << out;
        }
    }
}

TEST(HelpPages, EveryLinkReachesAnExistingPageAndAnchor) {
    for (const QString& name : Pages()) {
        const QString page = Page(name);
        for (const QString& href : Matches(page, R"re(href="([^"]*)")re")) {
            SCOPED_TRACE((name + " -> " + href).toStdString());
            ASSERT_FALSE(href.contains("://")) << "help pages stay local";
            const QString file = href.section('#', 0, 0).isEmpty() ? name : href.section('#', 0, 0);
            ASSERT_TRUE(QFileInfo(kHelp + "/" + file).isFile());
            const QString anchor = href.section('#', 1);
            if (!anchor.isEmpty()) {
                EXPECT_TRUE(Matches(Page(file), R"re(id="([^"]*)")re").contains(anchor));
            }
        }
    }
}

TEST(HelpPages, ContentsAndIndexReachEveryTopic) {
    auto linkedFiles = [](const QString& page) {
        QSet<QString> files;
        for (const QString& href : Matches(Page(page), R"re(href="([^"#]*)[#"])re"))
            files << href;
        return files;
    };
    const QSet<QString> fromContents = linkedFiles("index.html");
    const QSet<QString> fromIndex = linkedFiles("skorowidz.html");
    for (const QString& name : Pages()) {
        if (name == "index.html")
            continue;
        EXPECT_TRUE(fromContents.contains(name)) << name.toStdString() << " not in the contents";
        if (name != "skorowidz.html") {
            EXPECT_TRUE(fromIndex.contains(name)) << name.toStdString() << " not in the index";
        }
    }
}

TEST(HelpPages, IndexIsInPolishAlphabeticalOrderUnderItsLetters) {
    QCollator collator(QLocale(QLocale::Polish, QLocale::Poland));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const QString page = Page("skorowidz.html");
    const QStringList sections = page.split("<h2>").mid(1);
    ASSERT_GE(sections.size(), 10);
    QString previousEntry;
    for (const QString& section : sections) {
        const QString letter = section.section("</h2>", 0, 0);
        for (const QString& entry : Matches(section, R"re(<li><a href="[^"]*">([^<]*)</a>)re")) {
            SCOPED_TRACE(entry.toStdString());
            EXPECT_EQ(entry.left(1).toUpper(), letter);
            if (!previousEntry.isEmpty()) {
                EXPECT_LT(collator.compare(previousEntry, entry), 0) << previousEntry.toStdString();
            }
            previousEntry = entry;
        }
    }
}

} // namespace
