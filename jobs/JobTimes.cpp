// The job's next-start and last-start texts and the numbers by which the job
// list sorts them.
#include "Job.h"

#include "Clock.h"
#include "Hourly.h"
#include "LocalInstant.h"
#include "Once.h"
#include "StringTable.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Weekday, day, month name, year, hour:minute in the user's locale.
constexpr const char* kDateFormat = "%A %d.%B %Y %H:%M";

// String-table entries.
constexpr unsigned kIdsOff = 156;
constexpr unsigned kIdsNow = 157;
constexpr unsigned kIdsDays = 158;
constexpr unsigned kIdsHours = 159;
constexpr unsigned kIdsHour = 160;
constexpr unsigned kIdsDay = 161;
constexpr unsigned kIdsMinute = 136;
constexpr unsigned kIdsMinutes = 137;
constexpr unsigned kIdsOncePassed = 371; // "%s": the one-off's date and time

// Unit words are loaded into buffers of this size.
constexpr int kUnitWordSize = 32;

void FormatDate(const COleDateTime& t, char* buf, int size) {
    std::setlocale(LC_TIME, "");
    t.Format(buf, size, kDateFormat);
}

// Appends "<count> <unit>" to the text in buf, after one blank unless the
// text is still empty. Counts of 0 are left out.
void AppendUnit(HINSTANCE hRes, char* buf, int size, long count, unsigned idOne, unsigned idMany) {
    if (count <= 0)
        return;
    char word[kUnitWordSize];
    LoadStringA(hRes, count == 1 ? idOne : idMany, word, sizeof word);
    const int used = static_cast<int>(std::strlen(buf));
    if (used >= size - 1)
        return;
    std::snprintf(buf + used, size - used, "%s%ld %s", used > 0 ? " " : "", count, word);
}

// A count of seconds between two whole-second times. The day fractions carry
// rounding noise far below a second, so rounding gives the exact count where
// truncation could lose one. Clamped to the range of the result.
int SpanToSeconds(const COleDateTimeSpan& span) {
    const double seconds = std::round(span.GetTotalSeconds());
    if (seconds >= 2147483647.0)
        return 2147483647;
    if (seconds <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(seconds);
}

} // namespace

bool CJob::IsReferenceAhead(time_t now) const {
    return m_pPeriod->GetKind() != PERIOD_ONCE &&
           COleDateTime(m_LastStart).GetStatus() == COleDateTime::valid &&
           GetLastStartInstant() > now;
}

void CJob::SkipDueStart(time_t now) {
    time_t next;
    if (m_pPeriod->GetKind() != PERIOD_ONCE && GetNextStart(now, next) && next <= now)
        SetLastStartAt(now, false);
}

std::string PassedOnceMessage(const CPeriod& period, time_t now) {
    if (period.GetKind() != PERIOD_ONCE)
        return std::string();
    SYSTEMTIME st{};
    static_cast<const COnce&>(period).Get(&st);
    const COleDateTime when(st);
    if (when > COleDateTime(now))
        return std::string();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d", when.GetYear(), when.GetMonth(),
                  when.GetDay(), when.GetHour(), when.GetMinute());
    char text[256];
    std::snprintf(text, sizeof text, LoadResString(kIdsOncePassed), stamp);
    return text;
}

bool CJob::GetNextStart(time_t now, time_t& next) const {
    if (!IsActive())
        return false;
    const COleDateTime last(m_LastStart);
    if (last.GetStatus() != COleDateTime::valid)
        return false;
    time_t ref = GetLastStartInstant();
    COleDateTime refWall = last;
    if (IsReferenceAhead(now)) {
        ref = now;
        refWall = COleDateTime(now);
    }
    if (m_pPeriod->GetKind() == PERIOD_HOURLY) {
        next = NextMinuteOfHour(ref, static_cast<const CHourly&>(*m_pPeriod).GetMinute());
        return true;
    }
    COleDateTime wall = refWall;
    if (!m_pPeriod->GetNextStart(wall) || wall.GetStatus() != COleDateTime::valid ||
        wall <= refWall)
        return false;
    next = InstantOf(wall);
    return true;
}

const char* CJob::GetNextStartText(HINSTANCE hRes, bool bCountdown) const {
    thread_local char buf[kTextSize];
    buf[0] = '\0';
    if (!IsActive()) {
        LoadStringA(hRes, kIdsOff, buf, sizeof buf);
        return buf;
    }
    const time_t now = CurrentTime();
    time_t next;
    if (!GetNextStart(now, next))
        return buf;
    if (!bCountdown) {
        FormatDate(COleDateTime(next), buf, sizeof buf);
        return buf;
    }
    if (next <= now) {
        LoadStringA(hRes, kIdsNow, buf, sizeof buf);
        return buf;
    }
    // Real elapsed time; a started minute counts as a whole one.
    const long long minutes = (static_cast<long long>(next - now) + 59) / 60;
    AppendUnit(hRes, buf, sizeof buf, static_cast<long>(minutes / 1440), kIdsDay, kIdsDays);
    AppendUnit(hRes, buf, sizeof buf, static_cast<long>(minutes / 60 % 24), kIdsHour, kIdsHours);
    AppendUnit(hRes, buf, sizeof buf, static_cast<long>(minutes % 60), kIdsMinute, kIdsMinutes);
    return buf;
}

const char* CJob::GetLastStartText() const {
    thread_local char buf[kTextSize];
    buf[0] = '\0';
    if (m_bHasLastStart)
        FormatDate(COleDateTime(m_LastStart), buf, sizeof buf);
    return buf;
}

int CJob::GetSecondsToNextStart(time_t now) const {
    time_t next;
    if (!GetNextStart(now, next))
        return -1;
    if (next <= now)
        return 0;
    const long long seconds = static_cast<long long>(next) - static_cast<long long>(now);
    return seconds >= 2147483647LL ? 2147483647 : static_cast<int>(seconds);
}

int CJob::GetLastStartSeconds() const {
    if (!m_bHasLastStart)
        return -1;
    const COleDateTime last(m_LastStart);
    // A stamp that is no date (only foreign data holds one) counts as none.
    if (last.GetStatus() != COleDateTime::valid)
        return -1;
    return SpanToSeconds(last - COleDateTime(1970, 1, 1, 0, 0, 0));
}
