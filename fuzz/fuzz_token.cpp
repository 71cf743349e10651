// Fuzzes the token archive's decoding, and holds a decoded token to the round
// trip: its archive decodes again to the same token.
#include "ZVToken.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray archive(reinterpret_cast<const char *>(data), qsizetype(size));
    const ZVTokenPtr token = ZVToken::decode(archive);
    if (!token)
        return 0;
    const ZVTokenPtr again = ZVToken::decode(token->encode());
    if (!again || again->accessToken() != token->accessToken() || again->refreshToken() != token->refreshToken()
        || again->expiresAt() != token->expiresAt())
        __builtin_trap();
    return 0;
}
