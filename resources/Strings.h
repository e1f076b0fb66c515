#pragma once

// Raw data of the string table, sorted by identifier.
struct StringEntry {
    unsigned id;
    const char* text;
};

extern const StringEntry kStrings[];
extern const unsigned kStringCount;
