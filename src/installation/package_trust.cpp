// The installer's Authenticode signature and its own version.
#include "package_trust.h"

#include "platform/system_library.h"
#include "platform/wide_text.h"

#include <msiquery.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <memory>

PackageSignature readPackageSignature(HANDLE file, const std::string& path)
{
    const std::wstring wide = widen(path);
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = wide.c_str();
    fileInfo.hFile = file; // the handle that keeps the package from changing

    WINTRUST_DATA trust{};
    trust.cbStruct = sizeof(trust);
    trust.dwUIChoice = WTD_UI_NONE;
    // The whole chain's revocation is checked. Behind proxies that block the revocation
    // servers the answer is "offline", which is taken as it is for the TLS connection: checked
    // when it can be, not a reason to refuse every installation.
    trust.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    trust.dwUnionChoice = WTD_CHOICE_FILE;
    trust.pFile = &fileInfo; // NOLINT(cppcoreguidelines-pro-type-union-access): the platform's record
    trust.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    PackageSignature signature;
    // WinTrust is loaded only here, after a download: at every other start it would only cost
    // time.
    const LibraryHandle wintrust = loadSystemLibrary("wintrust.dll");
    const auto verify = libraryFunction<decltype(&WinVerifyTrust)>(wintrust, "WinVerifyTrust");
    const auto providerData =
        libraryFunction<decltype(&WTHelperProvDataFromStateData)>(wintrust, "WTHelperProvDataFromStateData");
    const auto signer = libraryFunction<decltype(&WTHelperGetProvSignerFromChain)>(
        wintrust, "WTHelperGetProvSignerFromChain");
    if (verify == nullptr || providerData == nullptr || signer == nullptr) {
        return signature;
    }
    // INVALID_HANDLE_VALUE as the window: there is no interactive user to ask.
    auto* const noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);
    signature.status = verify(noUser, &action, &trust);
    const auto result = static_cast<HRESULT>(signature.status);
    signature.verifies =
        result == S_OK || result == CRYPT_E_REVOCATION_OFFLINE || result == CERT_E_REVOCATION_FAILURE;
    // The signer's certificate is the first of its chain, held in the state of the check
    // until it is closed.
    CRYPT_PROVIDER_DATA* data = trust.hWVTStateData != nullptr ? providerData(trust.hWVTStateData) : nullptr;
    const CRYPT_PROVIDER_SGNR* first = data != nullptr ? signer(data, 0, FALSE, 0) : nullptr;
    if (first != nullptr && first->csCertChain > 0 && first->pasCertChain != nullptr) {
        char organisation[256] = "";
        char organisationOid[] = szOID_ORGANIZATION_NAME;
        if (CertGetNameStringA(first->pasCertChain->pCert, CERT_NAME_ATTR_TYPE, 0, organisationOid,
                               organisation, sizeof(organisation))
            > 1) {
            signature.organisation = organisation;
        }
    }
    trust.dwStateAction = WTD_STATEACTION_CLOSE;
    (void)verify(noUser, &action, &trust);
    return signature;
}

std::string packageProductVersion(const std::string& path, bool& readerLoaded)
{
    const LibraryHandle msi = loadSystemLibrary("msi.dll");
    const auto openDatabase = libraryFunction<decltype(&MsiOpenDatabaseW)>(msi, "MsiOpenDatabaseW");
    const auto openView = libraryFunction<decltype(&MsiDatabaseOpenViewW)>(msi, "MsiDatabaseOpenViewW");
    const auto execute = libraryFunction<decltype(&MsiViewExecute)>(msi, "MsiViewExecute");
    const auto fetch = libraryFunction<decltype(&MsiViewFetch)>(msi, "MsiViewFetch");
    const auto getString = libraryFunction<decltype(&MsiRecordGetStringW)>(msi, "MsiRecordGetStringW");
    const auto close = libraryFunction<decltype(&MsiCloseHandle)>(msi, "MsiCloseHandle");
    if (openDatabase == nullptr || openView == nullptr || execute == nullptr || fetch == nullptr
        || getString == nullptr || close == nullptr) {
        readerLoaded = false;
        return {};
    }
    readerLoaded = true;
    const auto closer = [close](const MSIHANDLE* handle) {
        if (*handle != 0) {
            (void)close(*handle);
        }
    };
    // MSIDBOPEN_READONLY, as the wide function takes it.
    const LPCWSTR readOnlyDatabase = nullptr;
    MSIHANDLE database = 0;
    MSIHANDLE view = 0;
    MSIHANDLE record = 0;
    // Released in the reverse order of opening, on every path out of here.
    const std::unique_ptr<MSIHANDLE, decltype(closer)> databaseGuard(&database, closer);
    const std::unique_ptr<MSIHANDLE, decltype(closer)> viewGuard(&view, closer);
    const std::unique_ptr<MSIHANDLE, decltype(closer)> recordGuard(&record, closer);
    wchar_t value[64] = L"";
    DWORD length = sizeof(value) / sizeof(value[0]);
    if (openDatabase(widen(path).c_str(), readOnlyDatabase, &database) != ERROR_SUCCESS
        || openView(database, L"SELECT `Value` FROM `Property` WHERE `Property` = 'ProductVersion'", &view)
               != ERROR_SUCCESS
        || execute(view, 0) != ERROR_SUCCESS || fetch(view, &record) != ERROR_SUCCESS
        || getString(record, 1, value, &length) != ERROR_SUCCESS) {
        return {};
    }
    return narrow(value);
}
