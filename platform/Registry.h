#pragma once

// A small registry: keys addressed by backslash paths, values of type
// REG_SZ, REG_BINARY and REG_DWORD, one SQLite database per hive under the
// state root. Several processes may use a hive at the same time; every write
// is one durable transaction.
//
// The calls follow the familiar Win32 shapes and results, reduced to what this
// program needs (no security attributes, classes or access masks).
//
// Value names compare without regard to case (full Unicode case folding, so
// "Ząb" and "ZĄB" are one value) and keep the case they were first written
// with. Values are enumerated in the order in which they were created; a value
// that is rewritten keeps its place. Every open key holds its own database
// connection, so a key handle must not be used by two threads at once.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using BYTE = std::uint8_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;

struct RegKey;
using HKEY = RegKey*;

// The two hives. They are roots for RegOpenKeyEx/RegCreateKeyEx only; value
// calls need a key opened below them (an empty sub-key opens the hive's root).
extern RegKey* const HKEY_LOCAL_MACHINE;
extern RegKey* const HKEY_CURRENT_USER;

enum : DWORD {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

enum : LONG {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_DISK_FULL = 112,
    ERROR_BUSY = 170,
    ERROR_MORE_DATA = 234,
    ERROR_NO_MORE_ITEMS = 259,
    ERROR_BADDB = 1009,
    ERROR_REVISION_MISMATCH = 1306, // a conditional change found other data
    ERROR_REGISTRY_IO_FAILED = 1016,
};

// Limits of what the registry accepts. Names are UTF-8 bytes without the zero.
constexpr DWORD REG_MAX_KEY_NAME = 255;     // one path component
constexpr DWORD REG_MAX_VALUE_NAME = 16383; // bytes
constexpr DWORD REG_MAX_VALUE_SIZE = 1u << 20;

// Opens an existing key. Fails with ERROR_FILE_NOT_FOUND when the hive file,
// the state root or any component of the path does not exist; nothing is
// created. A null or empty sub-key opens hKey's own key again.
LONG RegOpenKeyEx(HKEY hKey, const char* pszSubKey, HKEY* phkResult);

// Opens a key, creating the state root, the hive and every missing component.
// *pbCreated (optional) tells whether the last component was new.
LONG RegCreateKeyEx(HKEY hKey, const char* pszSubKey, HKEY* phkResult, bool* pbCreated = nullptr);

// Opens pszSubKey below the root of hBase's hive over hBase's own database
// connection (creating what is missing when bCreate), so that a transaction
// on either key also covers what is changed through the other.
LONG RegOpenKeyShared(HKEY hBase, const char* pszSubKey, bool bCreate, HKEY* phkResult);

// Closes a key opened by the calls above; the hives need no closing.
LONG RegCloseKey(HKEY hKey);

// Type and data of a value. pData null: only the size is returned in *pcbData.
// A buffer that is too small gives ERROR_MORE_DATA with the size in *pcbData.
LONG RegQueryValueEx(HKEY hKey, const char* pszValueName, DWORD* pdwType, BYTE* pData,
                     DWORD* pcbData);

// The value at dwIndex in the key's stable order. *pcchValueName holds the
// name buffer's size including room for the zero and receives the name's
// length without it (or the needed length with ERROR_MORE_DATA). Data as in
// RegQueryValueEx. ERROR_NO_MORE_ITEMS past the last value.
LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* pszValueName, DWORD* pcchValueName,
                  DWORD* pdwType, BYTE* pData, DWORD* pcbData);

// Creates or replaces a value. A replaced value keeps its place and its name's
// case as first written.
LONG RegSetValueEx(HKEY hKey, const char* pszValueName, DWORD dwType, const BYTE* pData,
                   DWORD cbData);

// Deletes the value pszOldName (a missing one is no error) and sets
// pszValueName, in one transaction: when the set fails the old value is still
// there. Used to rename a value, also when only its case changes.
LONG RegReplaceValue(HKEY hKey, const char* pszOldName, const char* pszValueName, DWORD dwType,
                     const BYTE* pData, DWORD cbData);

// Reads, checks and rewrites one existing value in a single transaction, so
// that no other writer can come in between: update gets the stored type and
// data and either fills the new data and returns ERROR_SUCCESS, or returns
// another result (ERROR_REVISION_MISMATCH, say), which RegUpdateValue passes
// on after changing nothing. ERROR_FILE_NOT_FOUND when there is no such value.
using RegUpdateFn =
    std::function<LONG(DWORD dwType, const BYTE* pData, DWORD cbData, std::vector<BYTE>& newData)>;
LONG RegUpdateValue(HKEY hKey, const char* pszValueName, const RegUpdateFn& update);

// Reads the value pszOldName and writes what rewrite makes of it under
// pszValueName (pszOldName deleted when the names differ), all in one
// transaction, so that no other writer comes in between. rewrite gets the
// stored type and data and fills newData; a result other than ERROR_SUCCESS
// changes nothing and is passed on. ERROR_FILE_NOT_FOUND when pszOldName
// does not exist.
using RegRewriteFn =
    std::function<LONG(DWORD dwType, const BYTE* pData, DWORD cbData, std::vector<BYTE>& newData)>;
LONG RegRewriteValue(HKEY hKey, const char* pszOldName, const char* pszValueName, DWORD dwType,
                     const RegRewriteFn& rewrite);

// ERROR_FILE_NOT_FOUND when there is no such value.
LONG RegDeleteValue(HKEY hKey, const char* pszValueName);

// Runs body as one write transaction of hKey's connection: what body reads
// through hKey (or a key shared with it) no other writer can change until
// the end, and what it changes is committed together, durably, when body
// returns ERROR_SUCCESS, else not at all. The calls inside nest. body must
// not write through another connection to the same hive: it would wait for
// this transaction's lock.
LONG RegTransaction(HKEY hKey, const std::function<LONG()>& body);

// Runs body in one read transaction of hKey's connection: every read in it,
// enumerations included, sees the same state of the hive. No writes inside.
LONG RegReadTransaction(HKEY hKey, const std::function<LONG()>& body);

// Checks the whole hive file (SQLite's integrity check, and that every index
// names as many rows as its table): ERROR_SUCCESS, ERROR_BADDB with SQLite's
// findings in strDetail, or why the file could not be checked.
LONG RegCheckHive(HKEY hHive, std::string& strDetail);

// Mends a hive whose indexes are damaged by building them afresh from the
// tables, in one transaction: every row the tables hold is kept. A hive whose
// tables themselves lost rows is not touched (ERROR_BADDB, strDetail says
// why): rebuilding would make the loss final. ERROR_SUCCESS when the hive is
// whole afterwards, with the damage that was mended in strDetail (empty when
// the hive was whole before).
LONG RegRepairHive(HKEY hHive, std::string& strDetail);

// Every change is committed durably (synchronous=FULL) before its call
// returns, so this only checks the handle; kept so callers state where a
// change must be on disk.
LONG RegFlushKey(HKEY hKey);

// What a registry result means, in a few English words, for logs and
// messages ("the database is locked by another program").
const char* RegErrorText(LONG nResult);

// The database file behind a hive, for diagnostics and tests.
std::string RegHivePath(HKEY hHive);
