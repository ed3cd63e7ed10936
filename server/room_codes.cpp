#include "room_codes.h"

#include <cstdint>

#include "rules.h"
#include "system_crypto.h"

constexpr int CODE_BITS_PER_CHARACTER = 5;
constexpr int CODE_BYTES = ROOM_CODE_LENGTH * CODE_BITS_PER_CHARACTER / 8;
constexpr std::size_t CODE_HALF = ROOM_CODE_LENGTH / 2;
static_assert(ROOM_CODE_ALPHABET.size() == 1u << CODE_BITS_PER_CHARACTER);

std::string New_Room_Code()
{
    unsigned char bytes[CODE_BYTES];
    Random_Fill(bytes, sizeof bytes);
    uint64_t bits = 0;
    for (unsigned char byte : bytes)
        bits = bits << 8 | byte;
    std::string code;
    for (int i = 0; i < ROOM_CODE_LENGTH; ++i) {
        code += ROOM_CODE_ALPHABET[bits & ((1u << CODE_BITS_PER_CHARACTER) - 1)];
        bits >>= CODE_BITS_PER_CHARACTER;
    }
    return code;
}

std::string Show_Room_Code(const std::string &code)
{
    return code.substr(0, CODE_HALF) + "-" + code.substr(CODE_HALF);
}

static char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool Read_Room_Code(std::string_view text, std::string &code)
{
    std::string plain;
    if (text.size() == ROOM_CODE_LENGTH + 1 && text[CODE_HALF] == '-')
        plain = std::string(text.substr(0, CODE_HALF)).append(text.substr(CODE_HALF + 1));
    else
        plain = text;
    if (plain.size() != ROOM_CODE_LENGTH)
        return false;
    for (char &c : plain) {
        c = Upper(c);
        if (ROOM_CODE_ALPHABET.find(c) == std::string_view::npos)
            return false;
    }
    code = plain;
    return true;
}

std::string New_Seat_Token()
{
    static const char HEX[] = "0123456789abcdef";
    unsigned char bytes[SEAT_TOKEN_BYTES];
    Random_Fill(bytes, sizeof bytes);
    std::string token;
    for (unsigned char byte : bytes) {
        token += HEX[byte >> 4];
        token += HEX[byte & 0xf];
    }
    return token;
}

bool Same_Token(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && !a.empty() && Same_Bytes(a.data(), b.data(), a.size());
}

std::string Token_Hash(const std::string &token)
{
    static const char HEX[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : Sha256(token)) {
        text += HEX[byte >> 4];
        text += HEX[byte & 0xf];
    }
    return text;
}

int Draw_Side()
{
    unsigned char byte;
    Random_Fill(&byte, 1);
    return (byte & 1) ? STRIPES : SOLIDS;
}
