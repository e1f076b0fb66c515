#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;

// A point in time as eight unsigned 16-bit fields, the layout in which job
// records keep their last start and one-off schedules their start. In this
// program wDayOfWeek counts 1 = Sunday ... 7 = Saturday and is never read back.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME is stored byte for byte");
