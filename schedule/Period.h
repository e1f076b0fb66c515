#pragma once

#include "OleDateTime.h"
#include "StringTable.h"
#include "SystemTime.h"

#include <cstddef>
#include <memory>

class CByteReader;

// The kinds in the order of the schedule dialog's choices. Never stored: the
// stored form names the class instead.
enum PeriodKind {
    PERIOD_ONCE = 0,
    PERIOD_HOURLY = 1,
    PERIOD_DAILY = 2,
    PERIOD_WEEKLY = 3,
    PERIOD_MONTHLY = 4,
    PERIOD_AT_STARTUP = 5,
};
constexpr int kPeriodKindCount = 6;

// The schedule of a job. Holds the idle-time option that every kind carries;
// each kind adds its own fields and its own next-start rule.
//
// Stored form: text form of the class name ("class CDaily" ...), the idle
// byte, the idle minutes (i32), then the kind's fields, little-endian.
class CPeriod {
public:
    virtual ~CPeriod() = default;

    // CopyFrom(src).
    virtual CPeriod& Assign(const CPeriod& src);
    // Copies the kind fields when src is of exactly this class, the idle
    // fields always.
    virtual CPeriod& CopyFrom(const CPeriod& src);
    // Same class, same validity, equal kind fields when both are valid, equal
    // idle fields.
    virtual bool IsEqual(const CPeriod& other) const;
    // A new object of the same class with the same fields; the caller owns it.
    virtual CPeriod* Clone() const = 0;
    virtual int GetStoreSize() const;
    // Writes GetStoreSize() bytes at pBuf and returns that count.
    virtual int Store(BYTE* pBuf) const;
    // Reads this object's stored form from the nAvail bytes at pBuf. Returns
    // the bytes consumed, or 0 when the form is short or names another class;
    // then the object is left exactly as it was.
    virtual int Load(const BYTE* pBuf, size_t nAvail);
    // One-line text of the schedule from the string table hRes (null: the
    // built-in German texts); empty when the schedule is not valid.
    virtual void GetDescription(HINSTANCE hRes, char* pBuf, int nSize) const = 0;
    // t in: reference time; t out: next start. False, with t left alone:
    // no timed start, or none that the calendar can hold.
    virtual bool GetNextStart(COleDateTime& t) const = 0;
    virtual bool IsAtStartup() const { return false; }
    virtual bool IsValid() const = 0;
    virtual PeriodKind GetKind() const = 0;

    bool GetIdle() const { return m_bIdle; }
    int GetIdleMinutes() const { return m_nIdleMinutes; }
    void SetIdle(bool bIdle, int nMinutes) {
        m_bIdle = bIdle;
        m_nIdleMinutes = nMinutes;
    }

    // A new default object of the class that the stored form at pBuf names,
    // or nullptr when the name matches no kind or the nAvail bytes cannot
    // hold that kind's whole form. Reads no field values: call Load next.
    static CPeriod* CreateFromStore(const BYTE* pBuf, size_t nAvail);
    // CreateFromStore followed by Load; *pConsumed receives Load's count.
    static std::unique_ptr<CPeriod> LoadFromStore(const BYTE* pBuf, size_t nAvail,
                                                  int* pConsumed = nullptr);
    // A default object of a kind; nullptr for a number outside 0..5.
    static std::unique_ptr<CPeriod> Create(PeriodKind kind);
    // "class COnce" ... "class CAtStartup"; nullptr outside 0..5.
    static const char* GetClassName(PeriodKind kind);

protected:
    CPeriod() = default;
    CPeriod(const CPeriod&) = default;
    CPeriod& operator=(const CPeriod&) = default;

    bool SameClass(const CPeriod& other) const;
    // Empties the text buffer of a description; false when there is none.
    static bool BeginText(char* pBuf, int nSize);
    // Reads the class name (which must be this object's) and the idle fields;
    // changes nothing unless all of it is there.
    bool LoadBase(CByteReader& reader);
    // Makes the description format: the built-in default, replaced by entry
    // id of hRes when a table is given and holds it.
    static void LoadFormat(HINSTANCE hRes, unsigned id, const char* pDefault, char* pFormat,
                           int nSize);

    bool m_bIdle = false;
    int m_nIdleMinutes = 1;
};
