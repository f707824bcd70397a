// The installer's integrity (its hash, to tell that nothing changed between download and run)
// and its Authenticode signature.
#include "package_trust.h"

#include <bcrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include <memory>
#include <type_traits>
#include <vector>

namespace {

constexpr DWORD readPieceBytes = 64 * 1024;

using AlgorithmHandle =
    std::unique_ptr<std::remove_pointer_t<BCRYPT_ALG_HANDLE>, void (*)(BCRYPT_ALG_HANDLE)>;
using HashHandle = std::unique_ptr<std::remove_pointer_t<BCRYPT_HASH_HANDLE>, void (*)(BCRYPT_HASH_HANDLE)>;

using LibraryHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;

void closeAlgorithm(BCRYPT_ALG_HANDLE algorithm)
{
    (void)BCryptCloseAlgorithmProvider(algorithm, 0);
}

void destroyHash(BCRYPT_HASH_HANDLE hash)
{
    (void)BCryptDestroyHash(hash);
}

} // namespace

std::wstring widePath(const std::string& path)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    (void)MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    wide.resize(wide.find(L'\0'));
    return wide;
}

bool hashFile(HANDLE file, Sha256& digest)
{
    BCRYPT_ALG_HANDLE rawAlgorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&rawAlgorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    const AlgorithmHandle algorithm(rawAlgorithm, &closeAlgorithm);
    BCRYPT_HASH_HANDLE rawHash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm.get(), &rawHash, nullptr, 0, nullptr, 0, 0))) {
        return false;
    }
    const HashHandle hash(rawHash, &destroyHash);
    LARGE_INTEGER start{};
    if (SetFilePointerEx(file, start, nullptr, FILE_BEGIN) == FALSE) {
        return false;
    }
    std::vector<UCHAR> piece(readPieceBytes);
    DWORD read = 0;
    do {
        if (ReadFile(file, piece.data(), readPieceBytes, &read, nullptr) == FALSE
            || !BCRYPT_SUCCESS(BCryptHashData(hash.get(), piece.data(), read, 0))) {
            return false;
        }
    } while (read > 0);
    return BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}

bool hasTrustedSignature(HANDLE file, const std::string& path)
{
    const std::wstring wide = widePath(path);
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
    // WinTrust is loaded only here, after a download, from the system folder: at every other
    // start it would only cost time.
    const LibraryHandle wintrust(LoadLibraryExA("wintrust.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                                 &FreeLibrary);
    const auto verify = wintrust ? reinterpret_cast<decltype(&WinVerifyTrust)>(
                            reinterpret_cast<void*>(GetProcAddress(wintrust.get(), "WinVerifyTrust")))
                                 : nullptr;
    if (verify == nullptr) {
        return false;
    }
    // INVALID_HANDLE_VALUE as the window: there is no interactive user to ask.
    auto* const noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);
    const LONG status = verify(noUser, &action, &trust);
    trust.dwStateAction = WTD_STATEACTION_CLOSE;
    (void)verify(noUser, &action, &trust);
    const auto result = static_cast<HRESULT>(status);
    return result == S_OK || result == CRYPT_E_REVOCATION_OFFLINE || result == CERT_E_REVOCATION_FAILURE;
}
