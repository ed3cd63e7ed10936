#include "system_crypto.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <openssl/crypto.h>
#include <openssl/evp.h>

void Random_Fill(unsigned char *out, std::size_t count)
{
    while (count > 0) {
        const ssize_t got = getrandom(out, count, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            std::perror("torvek-relay: getrandom");
            std::abort();
        }
        out += got;
        count -= static_cast<std::size_t>(got);
    }
}

Sha256_Digest Sha256(std::string_view data)
{
    Sha256_Digest digest;
    unsigned int length = 0;
    if (!EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha256(), nullptr) ||
        length != digest.size())
        std::abort();
    return digest;
}

bool Same_Bytes(const void *a, const void *b, std::size_t count)
{
    return CRYPTO_memcmp(a, b, count) == 0;
}
