#include "system_crypto.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

static bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

[[noreturn]] static void Give_Up(const char *what, NTSTATUS status)
{
    std::fprintf(stderr, "torvek: %s failed (status 0x%08lx)\n", what, static_cast<unsigned long>(status));
    std::abort();
}

void Random_Fill(unsigned char *out, std::size_t count)
{
    while (count > 0) {
        const ULONG part = static_cast<ULONG>(std::min<std::size_t>(count, std::numeric_limits<ULONG>::max()));
        const NTSTATUS status = BCryptGenRandom(nullptr, out, part, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (!Succeeded(status))
            Give_Up("BCryptGenRandom", status);
        out += part;
        count -= part;
    }
}

// Opened once, shared by every hash: BCrypt's algorithm handles are safe
// for several threads.
static BCRYPT_ALG_HANDLE Sha256_Algorithm()
{
    static const BCRYPT_ALG_HANDLE algorithm = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        const NTSTATUS status = BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        if (!Succeeded(status))
            Give_Up("BCryptOpenAlgorithmProvider(SHA256)", status);
        return opened;
    }();
    return algorithm;
}

Sha256_Digest Sha256(std::string_view data)
{
    Sha256_Digest digest;
    BCRYPT_HASH_HANDLE hash = nullptr;
    NTSTATUS status = BCryptCreateHash(Sha256_Algorithm(), &hash, nullptr, 0, nullptr, 0, 0);
    if (!Succeeded(status))
        Give_Up("BCryptCreateHash", status);
    auto *bytes = reinterpret_cast<PUCHAR>(const_cast<char *>(data.data()));
    status = BCryptHashData(hash, bytes, static_cast<ULONG>(data.size()), 0);
    if (Succeeded(status))
        status = BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    BCryptDestroyHash(hash);
    if (!Succeeded(status))
        Give_Up("SHA-256 with BCrypt", status);
    return digest;
}

// Windows has no library call for this; every byte is looked at, whatever differs.
bool Same_Bytes(const void *a, const void *b, std::size_t count)
{
    const volatile unsigned char *x = static_cast<const unsigned char *>(a);
    const volatile unsigned char *y = static_cast<const unsigned char *>(b);
    unsigned char differ = 0;
    for (std::size_t at = 0; at < count; ++at)
        differ |= x[at] ^ y[at];
    return differ == 0;
}
