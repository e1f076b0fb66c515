#pragma once

#include "SystemTime.h"

#include <ctime>

enum class DateTimeStatus { valid = 0, invalid = 1, null = 2 };

// Calendar fields of a date-time value. dayOfWeek counts 1 = Sunday ...
// 7 = Saturday; dayOfYear 1..366.
struct DateFields {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
    int dayOfWeek;
    int dayOfYear;
};

class COleDateTimeSpan;

// A local wall-clock date and time as a count of days since 1899-12-30 00:00
// (integer part: the day, fraction: the time of day), with a status. Below
// zero the integer part counts days backwards while the fraction stays the
// time of day, so arithmetic and ordering work on a "linear" day count.
class COleDateTime {
public:
    static constexpr DateTimeStatus valid = DateTimeStatus::valid;
    static constexpr DateTimeStatus invalid = DateTimeStatus::invalid;
    static constexpr DateTimeStatus null = DateTimeStatus::null;

    // Range of m_dt: 0100-01-01 00:00 to 9999-12-31 00:00, both inclusive.
    static constexpr double kMinDate = -657434.0;
    static constexpr double kMaxDate = 2958465.0;

    // 0.0 (1899-12-30 00:00), valid.
    COleDateTime() = default;
    // The raw day count; invalid when it lies outside the range.
    COleDateTime(double dt);
    // Local time of t; invalid when it cannot be broken down.
    COleDateTime(time_t t);
    // Invalid when the fields do not form a date (month 13, 30 February, 24:00).
    COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond);
    // wDayOfWeek and wMilliseconds are ignored.
    COleDateTime(const SYSTEMTIME& st);
    COleDateTime& operator=(const SYSTEMTIME& st);

    // The current local time (from CurrentTime(), so tests can fix it).
    static COleDateTime GetCurrentTime();

    // Returns true and sets the status valid when the fields form a date;
    // otherwise the value becomes 0.0 and invalid.
    bool SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond);

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }

    // Calendar getters: -1 when the value is not valid or out of range.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const; // 1 = Sunday ... 7 = Saturday
    int GetDayOfYear() const; // 1..366

    // All fields at once; false (f untouched) when a getter would give -1.
    bool GetDateFields(DateFields& f) const;
    // Year, month, day, hour, minute, second of the value; wDayOfWeek as
    // GetDayOfWeek counts it; wMilliseconds 0. False when not valid.
    bool GetAsSystemTime(SYSTEMTIME& st) const;

    COleDateTime operator+(const COleDateTimeSpan& span) const;
    COleDateTime operator-(const COleDateTimeSpan& span) const;
    COleDateTime& operator+=(const COleDateTimeSpan& span);
    COleDateTime& operator-=(const COleDateTimeSpan& span);
    COleDateTimeSpan operator-(const COleDateTime& other) const;

    // Ordering compares the linear values; the statuses are not consulted.
    bool operator<(const COleDateTime& other) const;
    bool operator>(const COleDateTime& other) const;
    bool operator<=(const COleDateTime& other) const;
    bool operator>=(const COleDateTime& other) const;
    // Same status and same stored day count.
    bool operator==(const COleDateTime& other) const;
    bool operator!=(const COleDateTime& other) const { return !(*this == other); }

    // strftime of the fields into buf (size bytes including the zero). buf is
    // the empty text when the value is not valid or the text does not fit.
    void Format(char* buf, int size, const char* fmt) const;

    // The conversions behind the value. DateFromFields takes each input as an
    // unsigned 16-bit number, so -1 fails; FieldsFromDate rounds to the
    // nearest second and fails outside the range.
    static bool DateFromFields(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond,
                               double& dt);
    static bool FieldsFromDate(double dt, DateFields& f);

    // Linear day count of a stored value and back.
    static double ToLinear(double dt);
    static double FromLinear(double linear);

    double m_dt = 0.0;
    DateTimeStatus m_status = DateTimeStatus::valid;

private:
    void CheckRange();
};

// A signed duration in days (linear: -0.25 is minus six hours).
class COleDateTimeSpan {
public:
    static constexpr double kMaxSpan = 3615897.0;

    COleDateTimeSpan() = default;
    COleDateTimeSpan(double span) : m_span(span) {}
    // days + hours/24 + minutes/1440 + seconds/86400; valid, no range check.
    COleDateTimeSpan(long nDays, int nHours, int nMinutes, int nSeconds);

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }

    // Components, each truncated toward zero and carrying the span's sign.
    long GetDays() const;
    long GetHours() const;
    long GetMinutes() const;
    long GetSeconds() const;
    double GetTotalSeconds() const { return m_span * 86400.0; }

    COleDateTimeSpan operator+(const COleDateTimeSpan& other) const;
    COleDateTimeSpan& operator+=(const COleDateTimeSpan& other);

    double m_span = 0.0;
    DateTimeStatus m_status = DateTimeStatus::valid;
};
