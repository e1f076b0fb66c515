#include "JobReport.h"

#include "AtStartup.h"
#include "Daily.h"
#include "FixedClock.h"
#include "Hourly.h"
#include "Job.h"
#include "Once.h"
#include "ScopedTimeZone.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <ctime>
#include <gtest/gtest.h>

namespace {

class JobReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Daily at 13:30 on every day, set at 13:20:45: reference 13:19.
        CDaily daily;
        int hour = 13, minute = 30;
        daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                  nullptr);
        m_job.SetName("Test");
        m_job.SetPeriod(daily, COleDateTime(2026, 12, 7, 13, 20, 45));
    }

    QJsonObject Json(const CJob& job) { return Json(job, m_now); }
    QJsonObject Json(const CJob& job, time_t now) {
        QJsonParseError error{};
        const std::string text = FormatJson(MakeJobReport(job, now));
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
        return doc.object();
    }

    CScopedTimeZone m_tz{"Europe/Warsaw"};
    FixedClock m_clock{2026, 12, 7, 13, 25, 0};
    const time_t m_now = m_clock.Now();
    CJob m_job;
};

TEST_F(JobReportTest, ListLineShowsTheWindowsTextsInEightColumns) {
    const CJobReport report = MakeJobReport(m_job, m_now);
    EXPECT_EQ(report.strCountdown, "5 Minut(y)");
    EXPECT_EQ(report.nSecondsToNextStart, 300);
    EXPECT_EQ(report.strLastStart, "");
    const std::string line = FormatListLine(report);
    EXPECT_EQ(line.rfind("Test\ttak\t/\t13:30  każdego dnia\t", 0), 0u) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7);
    const std::string header = FormatListHeader();
    EXPECT_EQ(std::count(header.begin(), header.end(), '\t'), 7);
    EXPECT_EQ(header.substr(header.rfind('\t')), "\tWynik\n");
}

TEST_F(JobReportTest, NamesCannotBreakTheLineLayout) {
    m_job.SetName("a\tb\nc\x1b[31m");
    const std::string line = FormatListLine(MakeJobReport(m_job, m_now));
    EXPECT_EQ(line.rfind("a?b?c?[31m\t", 0), 0u) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
    EXPECT_EQ(FormatShow(MakeJobReport(m_job, m_now)).find('\x1b'), std::string::npos);
}

TEST_F(JobReportTest, JsonCarriesTheScheduleAndTheScanOptions) {
    m_job.GetScanParameter().m_nInfectionAction = 3;
    m_job.GetScanParameter().m_nWindowMode = 1;
    m_job.GetScanParameter().m_nLogMode = 7; // not a value the dialog makes
    const QJsonObject o = Json(m_job);
    EXPECT_EQ(o["name"].toString(), "Test");
    EXPECT_TRUE(o["active"].toBool());
    EXPECT_EQ(o["kind"].toString(), "daily");
    EXPECT_EQ(o["time"].toString(), "13:30");
    EXPECT_EQ(o["days"].toArray().size(), 7);
    EXPECT_EQ(o["nextStart"].toString(), "2026-12-07T13:30:00+01:00");
    EXPECT_EQ(o["secondsToNextStart"].toInt(), 300);
    EXPECT_TRUE(o["lastStart"].isNull());
    EXPECT_EQ(o["directory"].toString(), "/");
    EXPECT_EQ(o["onInfection"].toString(), "delete");
    EXPECT_EQ(o["window"].toString(), "background");
    // Named as the damage it is, never passed off as a bare number.
    EXPECT_EQ(o["log"].toString(), "damaged (7)");
    EXPECT_NE(FormatShow(MakeJobReport(m_job, m_now))
                  .find("Protokół: uszkodzona wartość 7 (poza zakresem 0-2)\n"),
              std::string::npos);

    m_job.SetLastStart(COleDateTime(2026, 12, 7, 13, 22, 0), true);
    EXPECT_EQ(Json(m_job)["lastStart"].toString(), "2026-12-07T13:22:00+01:00");
}

// 02:27 on the morning the clocks go back, in each pass of the repeated
// hour: the next start and the last start carry the offset of their own pass.
TEST_F(JobReportTest, JsonTimesTellThePassesOfTheRepeatedHourApart) {
    CHourly hourly;
    hourly.SetMinute(true, 30);
    CJob job;
    job.SetName("Co godzinę");
    job.SetPeriod(hourly, COleDateTime(2027, 10, 31, 2, 20, 0));
    std::tm utc{};
    utc.tm_year = 2027 - 1900;
    utc.tm_mon = 9;
    utc.tm_mday = 31;
    utc.tm_min = 27;
    const time_t firstPass = timegm(&utc); // 02:27 CEST
    const time_t secondPass = firstPass + 3600;
    FixedClock first(firstPass);
    EXPECT_EQ(Json(job, firstPass)["nextStart"].toString(), "2027-10-31T02:30:00+02:00");

    job.SetLastStartAt(firstPass + 180, true); // the start at 02:30 CEST
    FixedClock second(secondPass);
    const QJsonObject o = Json(job, secondPass);
    EXPECT_EQ(o["lastStart"].toString(), "2027-10-31T02:30:00+02:00");
    EXPECT_EQ(o["nextStart"].toString(), "2027-10-31T02:30:00+01:00");
    EXPECT_EQ(o["secondsToNextStart"].toInt(), 180);
}

// The machine form: one line per job with the same fields in every line,
// no localised words, and no name or folder can add a field or a line.
TEST_F(JobReportTest, TsvLinesKeepTheirFieldsWhateverTheTexts) {
    m_job.SetName("a\tb\nc\\d");
    m_job.GetScanParameter().m_strDirectory = "/srv/x\ty";
    CJobReport report = MakeJobReport(m_job, m_now);
    const std::string header = FormatTsvHeader();
    EXPECT_EQ(header.rfind("name\tactive\tkind\tdirectory\tnextStart\t", 0), 0u);
    std::string line = FormatTsvLine(report);
    EXPECT_EQ(line, "a\\tb\\nc\\\\d\ttrue\tdaily\t/srv/x\\ty\t2026-12-07T13:30:00+01:00\t300\t"
                    "\t\t\t\t\t\t\t\t\n");
    report.lastResult = CJobResult::Interrupted(LocalTime(2026, 12, 7, 13, 31, 5), 9);
    line = FormatTsvLine(report);
    EXPECT_NE(line.find("\tstopped\t2\t2026-12-07T13:31:05+01:00\t0\t0\t0\t0\t0\n"),
              std::string::npos)
        << line;
    for (const std::string& text : {header, line})
        EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 14) << text;
}

TEST_F(JobReportTest, JobsWithoutATimedStartHaveNoNextStart) {
    CJob startup;
    startup.SetName("Start");
    startup.SetPeriod(CAtStartup(), COleDateTime(2026, 12, 7, 13, 20, 0));
    EXPECT_TRUE(Json(startup)["nextStart"].isNull());
    EXPECT_EQ(Json(startup)["secondsToNextStart"].toInt(), -1);

    CJob off;
    off.SetName("Off"); // a new job: its schedule has no time
    const QJsonObject o = Json(off);
    EXPECT_FALSE(o["active"].toBool());
    EXPECT_FALSE(o["scheduleComplete"].toBool());
    EXPECT_EQ(o["nextStartText"].toString(), "wyłączony");
    EXPECT_TRUE(o["nextStart"].isNull());
}

TEST(JsonText, EscapesControlsAndReplacesBrokenUtf8) {
    EXPECT_EQ(JsonString("Zażółć"), "\"Zażółć\"");
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString(std::string("t\tn\n\x01", 5)), "\"t\\u0009n\\u000a\\u0001\"");
    // A lone continuation byte, a cut two-byte sequence, an overlong form and
    // an encoded surrogate are not UTF-8.
    EXPECT_EQ(JsonString("\x80"), "\"\\ufffd\"");
    EXPECT_EQ(JsonString("a\xc5"), "\"a\\ufffd\"");
    EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xf0\x9f\x98\x80"), "\"\xf0\x9f\x98\x80\"");

    // Whatever the bytes, the result parses as JSON.
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    const QByteArray doc = QByteArray::fromStdString("[" + JsonString(all) + "]");
    EXPECT_FALSE(QJsonDocument::fromJson(doc).isNull());
}

} // namespace
