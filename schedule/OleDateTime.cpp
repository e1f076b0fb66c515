#include "OleDateTime.h"

#include "Clock.h"

#include <cmath>

namespace {

// Days before the start of each month in a year that is not a leap year.
constexpr int kMonthDays[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

// Days from 0000-01-01 to 1899-12-30 in the proleptic Gregorian count used here.
constexpr long kDaysTo1899 = 693959;

constexpr double kHalfSecond = 1.0 / 172800.0;

bool IsLeap(long year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Result of an operation on two values when either is not valid.
bool CombineStatus(DateTimeStatus a, DateTimeStatus b, DateTimeStatus& out) {
    if (a == DateTimeStatus::null || b == DateTimeStatus::null) {
        out = DateTimeStatus::null;
        return true;
    }
    if (a == DateTimeStatus::invalid || b == DateTimeStatus::invalid) {
        out = DateTimeStatus::invalid;
        return true;
    }
    return false;
}

} // namespace

bool COleDateTime::DateFromFields(int nYear, int nMonth, int nDay, int nHour, int nMinute,
                                  int nSecond, double& dt) {
    // Taken as unsigned 16-bit numbers: a -1 from a failed getter fails here.
    const long year = static_cast<WORD>(nYear);
    const long month = static_cast<WORD>(nMonth);
    const long day = static_cast<WORD>(nDay);
    const long hour = static_cast<WORD>(nHour);
    const long minute = static_cast<WORD>(nMinute);
    const long second = static_cast<WORD>(nSecond);
    if (year > 9999 || month < 1 || month > 12)
        return false;
    const bool leap = IsLeap(year);
    const long monthDays =
        kMonthDays[month] - kMonthDays[month - 1] + (leap && month == 2 && day == 29 ? 1 : 0);
    if (day < 1 || day > monthDays || hour > 23 || minute > 59 || second > 59)
        return false;
    long n = year * 365 + year / 4 - year / 100 + year / 400 + kMonthDays[month - 1] + day;
    if (month <= 2 && leap)
        --n;
    n -= kDaysTo1899;
    const double t = static_cast<double>(hour * 3600 + minute * 60 + second) / 86400.0;
    dt = n >= 0 ? static_cast<double>(n) + t : static_cast<double>(n) - t;
    return true;
}

bool COleDateTime::FieldsFromDate(double value, DateFields& f) {
    if (!(value >= kMinDate && value <= kMaxDate)) // NaN fails too
        return false;
    const double d = value > 0 ? value + kHalfSecond : value - kHalfSecond;
    long a = static_cast<long>(std::trunc(d)) + kDaysTo1899;
    const double absd = std::fabs(d);
    const long secs = static_cast<long>(std::trunc((absd - std::floor(absd)) * 86400.0));

    f.dayOfWeek = static_cast<int>((a - 1) % 7 + 1);

    const long cycles = a / 146097;
    a %= 146097;
    const long cent = (a - 1) / 36524;
    long quads, r;
    bool leap4;
    if (cent != 0) {
        a = (a - 1) % 36524;
        quads = (a + 1) / 1461;
        leap4 = quads != 0;
        r = leap4 ? (a + 1) % 1461 : a;
    } else {
        quads = a / 1461;
        r = a % 1461;
        leap4 = true;
    }
    long yr;
    if (leap4) {
        yr = (r - 1) / 365;
        if (yr != 0)
            r = (r - 1) % 365;
    } else {
        yr = r / 365;
        r %= 365;
    }
    f.dayOfYear = static_cast<int>(r + 1);
    f.year = static_cast<int>(cycles * 400 + cent * 100 + quads * 4 + yr);

    if (yr == 0 && leap4 && r == 59) {
        f.month = 2;
        f.day = 29;
    } else {
        if (yr == 0 && leap4 && r >= 60)
            --r;
        ++r;
        long month = r / 32 + 1;
        while (r > kMonthDays[month])
            ++month;
        f.month = static_cast<int>(month);
        f.day = static_cast<int>(r - kMonthDays[month - 1]);
    }
    f.second = static_cast<int>(secs % 60);
    f.minute = static_cast<int>(secs / 60 % 60);
    f.hour = static_cast<int>(secs / 3600);
    return true;
}

double COleDateTime::ToLinear(double dt) {
    if (dt >= 0)
        return dt;
    const double e = std::ceil(dt);
    return e - (dt - e);
}

double COleDateTime::FromLinear(double linear) {
    if (linear >= 0)
        return linear;
    const double f = std::floor(linear);
    return f + (f - linear);
}

COleDateTime::COleDateTime(double dt) : m_dt(dt) {
    CheckRange();
}

COleDateTime::COleDateTime(time_t t) {
    struct tm tm;
    if (localtime_r(&t, &tm) == nullptr) {
        m_status = invalid;
        return;
    }
    SetDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

COleDateTime::COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond) {
    SetDateTime(nYear, nMonth, nDay, nHour, nMinute, nSecond);
}

COleDateTime::COleDateTime(const SYSTEMTIME& st) {
    *this = st;
}

COleDateTime& COleDateTime::operator=(const SYSTEMTIME& st) {
    SetDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    return *this;
}

COleDateTime COleDateTime::GetCurrentTime() {
    return COleDateTime(CurrentTime());
}

bool COleDateTime::SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMinute,
                               int nSecond) {
    double dt = 0.0;
    const bool ok = DateFromFields(nYear, nMonth, nDay, nHour, nMinute, nSecond, dt);
    m_dt = ok ? dt : 0.0;
    m_status = ok ? valid : invalid;
    return ok;
}

void COleDateTime::CheckRange() {
    if (!(m_dt >= kMinDate && m_dt <= kMaxDate))
        m_status = invalid;
}

bool COleDateTime::GetDateFields(DateFields& f) const {
    return m_status == valid && FieldsFromDate(m_dt, f);
}

namespace {
template <class Field> int GetField(const COleDateTime& t, Field field) {
    DateFields f;
    return t.GetDateFields(f) ? f.*field : -1;
}
} // namespace

int COleDateTime::GetYear() const {
    return GetField(*this, &DateFields::year);
}
int COleDateTime::GetMonth() const {
    return GetField(*this, &DateFields::month);
}
int COleDateTime::GetDay() const {
    return GetField(*this, &DateFields::day);
}
int COleDateTime::GetHour() const {
    return GetField(*this, &DateFields::hour);
}
int COleDateTime::GetMinute() const {
    return GetField(*this, &DateFields::minute);
}
int COleDateTime::GetSecond() const {
    return GetField(*this, &DateFields::second);
}
int COleDateTime::GetDayOfWeek() const {
    return GetField(*this, &DateFields::dayOfWeek);
}
int COleDateTime::GetDayOfYear() const {
    return GetField(*this, &DateFields::dayOfYear);
}

bool COleDateTime::GetAsSystemTime(SYSTEMTIME& st) const {
    DateFields f;
    if (!GetDateFields(f))
        return false;
    st.wYear = static_cast<WORD>(f.year);
    st.wMonth = static_cast<WORD>(f.month);
    st.wDayOfWeek = static_cast<WORD>(f.dayOfWeek);
    st.wDay = static_cast<WORD>(f.day);
    st.wHour = static_cast<WORD>(f.hour);
    st.wMinute = static_cast<WORD>(f.minute);
    st.wSecond = static_cast<WORD>(f.second);
    st.wMilliseconds = 0;
    return true;
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& span) const {
    COleDateTime result;
    if (CombineStatus(m_status, span.m_status, result.m_status))
        return result;
    result.m_dt = FromLinear(ToLinear(m_dt) + span.m_span);
    result.CheckRange();
    return result;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& span) const {
    COleDateTime result;
    if (CombineStatus(m_status, span.m_status, result.m_status))
        return result;
    result.m_dt = FromLinear(ToLinear(m_dt) - span.m_span);
    result.CheckRange();
    return result;
}

COleDateTime& COleDateTime::operator+=(const COleDateTimeSpan& span) {
    return *this = *this + span;
}

COleDateTime& COleDateTime::operator-=(const COleDateTimeSpan& span) {
    return *this = *this - span;
}

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& other) const {
    COleDateTimeSpan result;
    if (CombineStatus(m_status, other.m_status, result.m_status))
        return result;
    result.m_span = ToLinear(m_dt) - ToLinear(other.m_dt);
    return result;
}

bool COleDateTime::operator<(const COleDateTime& other) const {
    return ToLinear(m_dt) < ToLinear(other.m_dt);
}
bool COleDateTime::operator>(const COleDateTime& other) const {
    return ToLinear(m_dt) > ToLinear(other.m_dt);
}
bool COleDateTime::operator<=(const COleDateTime& other) const {
    return ToLinear(m_dt) <= ToLinear(other.m_dt);
}
bool COleDateTime::operator>=(const COleDateTime& other) const {
    return ToLinear(m_dt) >= ToLinear(other.m_dt);
}
bool COleDateTime::operator==(const COleDateTime& other) const {
    return m_status == other.m_status && m_dt == other.m_dt;
}

void COleDateTime::Format(char* buf, int size, const char* fmt) const {
    if (buf == nullptr || size <= 0)
        return;
    buf[0] = '\0';
    DateFields f;
    if (fmt == nullptr || !GetDateFields(f))
        return;
    struct tm tm {};
    tm.tm_year = f.year - 1900;
    tm.tm_mon = f.month - 1;
    tm.tm_mday = f.day;
    tm.tm_hour = f.hour;
    tm.tm_min = f.minute;
    tm.tm_sec = f.second;
    tm.tm_wday = f.dayOfWeek - 1;
    tm.tm_yday = f.dayOfYear - 1;
    // strftime leaves the buffer undefined when the text does not fit.
    if (strftime(buf, static_cast<size_t>(size), fmt, &tm) == 0)
        buf[0] = '\0';
}

COleDateTimeSpan::COleDateTimeSpan(long nDays, int nHours, int nMinutes, int nSeconds)
    : m_span(static_cast<double>(nDays) + nHours / 24.0 + nMinutes / 1440.0 + nSeconds / 86400.0) {}

namespace {
double Fraction(double x) {
    double whole;
    return std::modf(x, &whole);
}

// Truncation toward zero; a span too large for a long (or not a number)
// gives 0 rather than an undefined conversion.
long Truncate(double x) {
    if (!(std::fabs(x) < 9.0e18))
        return 0;
    return static_cast<long>(std::trunc(x));
}
} // namespace

long COleDateTimeSpan::GetDays() const {
    return Truncate(m_span);
}

long COleDateTimeSpan::GetHours() const {
    return Truncate(Fraction(m_span) * 24);
}

long COleDateTimeSpan::GetMinutes() const {
    return Truncate(Fraction(m_span * 24) * 60);
}

long COleDateTimeSpan::GetSeconds() const {
    return Truncate(Fraction(m_span * 1440) * 60);
}

COleDateTimeSpan COleDateTimeSpan::operator+(const COleDateTimeSpan& other) const {
    COleDateTimeSpan result;
    if (CombineStatus(m_status, other.m_status, result.m_status))
        return result;
    result.m_span = m_span + other.m_span;
    if (!(result.m_span >= -kMaxSpan && result.m_span <= kMaxSpan))
        result.m_status = DateTimeStatus::invalid;
    return result;
}

COleDateTimeSpan& COleDateTimeSpan::operator+=(const COleDateTimeSpan& other) {
    return *this = *this + other;
}
