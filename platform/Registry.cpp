#include "Registry.h"

#include "RegistryDb.h"
#include "StatePaths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// A hive root is a predefined handle: it carries only which hive it names.
// Opened keys carry their own connection and the id of their row in
// reg_keys (0 = the hive's root).
struct RegKey {
    constexpr RegKey(int hive, bool predefined) : nHive(hive), bPredefined(predefined) {}
    RegKey(int hive, std::shared_ptr<CRegistryDb> db, std::int64_t keyId)
        : nHive(hive), pDb(std::move(db)), nKeyId(keyId) {}

    int nHive = -1;
    bool bPredefined = false;
    std::shared_ptr<CRegistryDb> pDb; // shared by the keys of RegOpenKeyShared
    std::int64_t nKeyId = 0;

    // Value ids of this key in enumeration order, valid while the database's
    // data_version and our own write count are unchanged.
    std::vector<std::int64_t> ids;
    std::int64_t nCacheVersion = -1;
    std::uint64_t nCacheWrites = 0;
    bool bCacheValid = false;
};

namespace {

constinit RegKey g_machine{0, true};
constinit RegKey g_user{1, true};

const char* HiveFileName(int nHive) {
    return nHive == 0 ? "machine.db" : "user.db";
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Splits a backslash path into its non-empty components. False when a
// component is longer than the registry allows.
bool SplitKeyPath(const char* pszSubKey, std::vector<std::string>& parts) {
    parts.clear();
    if (!pszSubKey)
        return true;
    std::string part;
    for (const char* p = pszSubKey;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
            if (*p == '\0')
                break;
            continue;
        }
        part += *p;
        if (part.size() > REG_MAX_KEY_NAME)
            return false;
    }
    return true;
}

bool IsOpenKey(HKEY hKey) {
    return hKey && !hKey->bPredefined && hKey->pDb;
}

bool IsValidName(const char* pszName) {
    return std::strlen(pszName) <= REG_MAX_VALUE_NAME;
}

// Makes a new hive whole beside its place and links it in only then, so
// that a failure (a full disk, say) leaves no empty or half-made database
// behind. A hive that another process made meanwhile is kept.
LONG CreateHiveFile(const std::string& path) {
    std::string temp = path + ".new-XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
    close(fd);
    LONG result;
    {
        CRegistryDb db;
        result = db.Open(temp, true);
    }
    if (result == ERROR_SUCCESS && link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST)
        result = errno == ENOSPC ? ERROR_DISK_FULL : ERROR_REGISTRY_IO_FAILED;
    unlink(temp.c_str());
    return result;
}

// Opens the hive of hKey (a predefined root or an open key) in a new
// connection and resolves the sub-key below it.
LONG OpenOrCreate(HKEY hKey, const char* pszSubKey, HKEY* phkResult, bool bCreate,
                  bool* pbCreated) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (!hKey || (!hKey->bPredefined && !hKey->pDb))
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> parts;
    if (!SplitKeyPath(pszSubKey, parts))
        return ERROR_INVALID_PARAMETER;

    const std::string path = RegHivePath(hKey);
    // A database in a place that others can change is not ours to trust.
    if (CheckStateRoot().kind != CStateProblem::None)
        return ERROR_ACCESS_DENIED;
    if (bCreate) {
        if (!EnsureStateRoot())
            return ERROR_ACCESS_DENIED;
        if (!FileExists(path)) {
            const LONG result = CreateHiveFile(path);
            if (result != ERROR_SUCCESS)
                return result;
        }
    } else if (!FileExists(path)) {
        return ERROR_FILE_NOT_FOUND;
    }

    auto pDb = std::make_shared<CRegistryDb>();
    LONG result = pDb->Open(path, bCreate);
    std::int64_t nKeyId = hKey->bPredefined ? 0 : hKey->nKeyId;
    if (result == ERROR_SUCCESS)
        result = bCreate ? pDb->CreateKeyPath(nKeyId, parts, pbCreated)
                         : pDb->FindKeyPath(nKeyId, parts);
    if (result != ERROR_SUCCESS)
        return result;
    *phkResult = new RegKey{hKey->nHive, std::move(pDb), nKeyId};
    return ERROR_SUCCESS;
}

// A connection of its own to an existing hive file, for the whole-file calls.
LONG OpenHive(HKEY hHive, CRegistryDb& db) {
    if (!hHive || hHive->nHive < 0)
        return ERROR_INVALID_HANDLE;
    if (CheckStateRoot().kind != CStateProblem::None)
        return ERROR_ACCESS_DENIED;
    const std::string path = RegHivePath(hHive);
    if (!FileExists(path))
        return ERROR_FILE_NOT_FOUND;
    return db.Open(path, false);
}

// Makes sure key->ids reflects the database in the current read transaction.
LONG RefreshValueIds(HKEY hKey) {
    std::int64_t nVersion = 0;
    LONG result = hKey->pDb->DataVersion(nVersion);
    if (result != ERROR_SUCCESS)
        return result;
    if (hKey->bCacheValid && hKey->nCacheVersion == nVersion &&
        hKey->nCacheWrites == hKey->pDb->WriteCount())
        return ERROR_SUCCESS;
    result = hKey->pDb->ValueIds(hKey->nKeyId, hKey->ids);
    hKey->bCacheValid = result == ERROR_SUCCESS;
    hKey->nCacheVersion = nVersion;
    hKey->nCacheWrites = hKey->pDb->WriteCount();
    return result;
}

// Copies a value's data into the caller's buffer with the registry's rules
// for sizes and short buffers.
LONG CopyData(const CRegistryDb::Value& value, DWORD* pdwType, BYTE* pData, DWORD* pcbData) {
    if (pdwType)
        *pdwType = value.nType;
    const auto nSize = static_cast<DWORD>(value.nSize);
    if (!pcbData)
        return pData ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const DWORD nRoom = *pcbData;
    *pcbData = nSize;
    if (!pData)
        return ERROR_SUCCESS;
    if (nRoom < nSize)
        return ERROR_MORE_DATA;
    if (nSize)
        std::memcpy(pData, value.pData, nSize);
    return ERROR_SUCCESS;
}

LONG CopyName(const CRegistryDb::Value& value, char* pszName, DWORD* pcchName) {
    if (!pcchName)
        return pszName ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const DWORD nRoom = *pcchName;
    const auto nLength = static_cast<DWORD>(value.name.size());
    *pcchName = nLength;
    if (!pszName)
        return ERROR_SUCCESS;
    if (nRoom <= nLength)
        return ERROR_MORE_DATA;
    std::memcpy(pszName, value.name.data(), nLength);
    pszName[nLength] = '\0';
    return ERROR_SUCCESS;
}

LONG CheckWrite(HKEY hKey, const char* pszName, DWORD cbData, const BYTE* pData) {
    if (!IsOpenKey(hKey))
        return ERROR_INVALID_HANDLE;
    if (!IsValidName(pszName) || cbData > REG_MAX_VALUE_SIZE || (cbData && !pData))
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

} // namespace

RegKey* const HKEY_LOCAL_MACHINE = &g_machine;
RegKey* const HKEY_CURRENT_USER = &g_user;

const char* RegErrorText(LONG nResult) {
    switch (nResult) {
    case ERROR_SUCCESS:
        return "bez błędu";
    case ERROR_FILE_NOT_FOUND:
        return "baza albo klucz nie istnieje";
    case ERROR_ACCESS_DENIED:
        return "brak dostępu";
    case ERROR_INVALID_HANDLE:
        return "klucz nie jest otwarty";
    case ERROR_INVALID_PARAMETER:
        return "błędna nazwa albo wartość";
    case ERROR_BUSY:
        return "bazę blokuje inny program";
    case ERROR_DISK_FULL:
        return "dysk jest pełny";
    case ERROR_MORE_DATA:
        return "wartość zmieniała się w czasie odczytu";
    case ERROR_BADDB:
        return "plik bazy jest uszkodzony";
    case ERROR_REVISION_MISMATCH:
        return "wartość zmienił w międzyczasie inny program";
    case ERROR_REGISTRY_IO_FAILED:
        return "nie można odczytać ani zapisać pliku bazy (błąd wejścia/wyjścia)";
    default:
        return "nieznany błąd";
    }
}

std::string RegHivePath(HKEY hHive) {
    if (!hHive || hHive->nHive < 0)
        return std::string();
    return StatePath(HiveFileName(hHive->nHive));
}

LONG RegOpenKeyEx(HKEY hKey, const char* pszSubKey, HKEY* phkResult) {
    return OpenOrCreate(hKey, pszSubKey, phkResult, false, nullptr);
}

LONG RegCreateKeyEx(HKEY hKey, const char* pszSubKey, HKEY* phkResult, bool* pbCreated) {
    if (pbCreated)
        *pbCreated = false;
    return OpenOrCreate(hKey, pszSubKey, phkResult, true, pbCreated);
}

LONG RegOpenKeyShared(HKEY hBase, const char* pszSubKey, bool bCreate, HKEY* phkResult) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (!IsOpenKey(hBase))
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> parts;
    if (!SplitKeyPath(pszSubKey, parts))
        return ERROR_INVALID_PARAMETER;
    std::int64_t nKeyId = 0;
    const LONG result = bCreate ? hBase->pDb->CreateKeyPath(nKeyId, parts, nullptr)
                                : hBase->pDb->FindKeyPath(nKeyId, parts);
    if (result == ERROR_SUCCESS)
        *phkResult = new RegKey{hBase->nHive, hBase->pDb, nKeyId};
    return result;
}

LONG RegCloseKey(HKEY hKey) {
    if (!hKey)
        return ERROR_INVALID_HANDLE;
    if (hKey->bPredefined)
        return ERROR_SUCCESS;
    delete hKey;
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY hKey, const char* pszValueName, DWORD* pdwType, BYTE* pData,
                     DWORD* pcbData) {
    if (!IsOpenKey(hKey))
        return ERROR_INVALID_HANDLE;
    if (!pszValueName)
        pszValueName = "";
    if (!IsValidName(pszValueName))
        return ERROR_FILE_NOT_FOUND;
    CRegistryDb::Value value;
    LONG result = hKey->pDb->FindValue(hKey->nKeyId, pszValueName, value);
    if (result == ERROR_SUCCESS)
        result = CopyData(value, pdwType, pData, pcbData);
    hKey->pDb->ResetFind();
    return result;
}

LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* pszValueName, DWORD* pcchValueName,
                  DWORD* pdwType, BYTE* pData, DWORD* pcbData) {
    if (!IsOpenKey(hKey))
        return ERROR_INVALID_HANDLE;
    CRegistryDb& db = *hKey->pDb;
    // One read transaction, so that the id list and the row come from the
    // same state of the database.
    LONG result = db.BeginRead();
    if (result != ERROR_SUCCESS)
        return result;
    result = RefreshValueIds(hKey);
    CRegistryDb::Value value;
    if (result == ERROR_SUCCESS) {
        if (dwIndex >= hKey->ids.size())
            result = ERROR_NO_MORE_ITEMS;
        else
            result = db.ValueById(hKey->ids[dwIndex], value);
    }
    if (result == ERROR_SUCCESS) {
        const LONG nameResult = CopyName(value, pszValueName, pcchValueName);
        result = CopyData(value, pdwType, pData, pcbData);
        if (nameResult != ERROR_SUCCESS)
            result = nameResult;
    }
    db.ResetById();
    db.EndRead();
    return result;
}

LONG RegSetValueEx(HKEY hKey, const char* pszValueName, DWORD dwType, const BYTE* pData,
                   DWORD cbData) {
    if (!pszValueName)
        pszValueName = "";
    LONG result = CheckWrite(hKey, pszValueName, cbData, pData);
    if (result != ERROR_SUCCESS)
        return result;
    return hKey->pDb->SetValue(hKey->nKeyId, nullptr, pszValueName, dwType, pData, cbData);
}

LONG RegReplaceValue(HKEY hKey, const char* pszOldName, const char* pszValueName, DWORD dwType,
                     const BYTE* pData, DWORD cbData) {
    if (!pszValueName)
        pszValueName = "";
    LONG result = CheckWrite(hKey, pszValueName, cbData, pData);
    if (result != ERROR_SUCCESS)
        return result;
    if (pszOldName && !IsValidName(pszOldName))
        pszOldName = nullptr; // cannot exist
    return hKey->pDb->SetValue(hKey->nKeyId, pszOldName, pszValueName, dwType, pData, cbData);
}

LONG RegUpdateValue(HKEY hKey, const char* pszValueName, const RegUpdateFn& update) {
    if (!IsOpenKey(hKey))
        return ERROR_INVALID_HANDLE;
    if (!pszValueName)
        pszValueName = "";
    if (!IsValidName(pszValueName))
        return ERROR_FILE_NOT_FOUND;
    return hKey->pDb->UpdateValue(hKey->nKeyId, pszValueName, update);
}

LONG RegRewriteValue(HKEY hKey, const char* pszOldName, const char* pszValueName, DWORD dwType,
                     const RegRewriteFn& rewrite) {
    if (!pszValueName)
        pszValueName = "";
    if (!pszOldName)
        pszOldName = "";
    LONG result = CheckWrite(hKey, pszValueName, 0, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    if (!IsValidName(pszOldName))
        return ERROR_FILE_NOT_FOUND;
    return hKey->pDb->RewriteValue(
        hKey->nKeyId, pszOldName, pszValueName, dwType,
        [&](DWORD dwOldType, const BYTE* pData, DWORD cbData, std::vector<BYTE>& newData) {
            const LONG made = rewrite(dwOldType, pData, cbData, newData);
            if (made != ERROR_SUCCESS)
                return made;
            return newData.size() > REG_MAX_VALUE_SIZE ? LONG(ERROR_INVALID_PARAMETER)
                                                       : LONG(ERROR_SUCCESS);
        });
}

LONG RegDeleteValue(HKEY hKey, const char* pszValueName) {
    if (!IsOpenKey(hKey))
        return ERROR_INVALID_HANDLE;
    if (!pszValueName)
        pszValueName = "";
    if (!IsValidName(pszValueName))
        return ERROR_FILE_NOT_FOUND;
    return hKey->pDb->DeleteValue(hKey->nKeyId, pszValueName);
}

LONG RegTransaction(HKEY hKey, const std::function<LONG()>& body) {
    return IsOpenKey(hKey) ? hKey->pDb->Transaction(body) : ERROR_INVALID_HANDLE;
}

LONG RegReadTransaction(HKEY hKey, const std::function<LONG()>& body) {
    return IsOpenKey(hKey) ? hKey->pDb->ReadTransaction(body) : ERROR_INVALID_HANDLE;
}

LONG RegCheckHive(HKEY hHive, std::string& strDetail) {
    strDetail.clear();
    CRegistryDb db;
    const LONG result = OpenHive(hHive, db);
    return result == ERROR_SUCCESS ? db.CheckFile(strDetail) : result;
}

LONG RegRepairHive(HKEY hHive, std::string& strDetail) {
    strDetail.clear();
    CRegistryDb db;
    LONG result = OpenHive(hHive, db);
    std::string found;
    if (result != ERROR_SUCCESS || db.CheckFile(found) != ERROR_BADDB)
        return result;
    result = db.RebuildIndexes(strDetail);
    if (result == ERROR_SUCCESS)
        strDetail = found;
    return result;
}

LONG RegFlushKey(HKEY hKey) {
    return IsOpenKey(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
