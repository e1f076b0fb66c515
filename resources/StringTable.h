#pragma once

// The program's string table: numeric identifier -> Polish UTF-8 text.
//
// Code that formats user-visible text takes a table handle (`HINSTANCE`), the
// way the schedules and the job list do. A null handle means "no table": the
// callers then fall back to their built-in (German) defaults.

struct CStringTable;
using HINSTANCE = const CStringTable*;

// The program's own table.
HINSTANCE GetResourceHandle();

// Copies entry `id` into buf (at most size - 1 bytes, never splitting a UTF-8
// character) and terminates it. Returns the number of bytes copied; 0 and an
// empty buf when the entry or the table is missing.
int LoadStringA(HINSTANCE hRes, unsigned id, char* buf, int size);

// The text of entry `id` in the program's table, or "" when there is none.
const char* LoadResString(unsigned id);
