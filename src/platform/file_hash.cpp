// SHA-256 of a file through Windows' own cryptography (CNG), read through a handle the caller
// holds, so the hash is of exactly the file that handle keeps.
#include "file_hash.h"

#include <bcrypt.h>

#include <memory>
#include <type_traits>
#include <vector>

namespace {

constexpr DWORD readPieceBytes = 64 * 1024;

using AlgorithmHandle =
    std::unique_ptr<std::remove_pointer_t<BCRYPT_ALG_HANDLE>, void (*)(BCRYPT_ALG_HANDLE)>;
using HashHandle = std::unique_ptr<std::remove_pointer_t<BCRYPT_HASH_HANDLE>, void (*)(BCRYPT_HASH_HANDLE)>;

void closeAlgorithm(BCRYPT_ALG_HANDLE algorithm)
{
    (void)BCryptCloseAlgorithmProvider(algorithm, 0);
}

void destroyHash(BCRYPT_HASH_HANDLE hash)
{
    (void)BCryptDestroyHash(hash);
}

} // namespace

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
