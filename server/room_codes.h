// Room codes, seat tokens and the draw of the first side, all from the
// system's random source. The lobby calls these when a room is created, a
// seat is taken or a room starts, and when a client names a room or a token.
#pragma once

#include <string>
#include <string_view>

// Eight characters of 5 bits each: 40 random bits. No I, O, 0 or 1, which
// players mistake for each other.
constexpr int ROOM_CODE_LENGTH = 8;
constexpr std::string_view ROOM_CODE_ALPHABET = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
// 128 random bits, written as lowercase hexadecimal.
constexpr int SEAT_TOKEN_BYTES = 16;

// A new code in its plain form, "ABCDEFGH".
std::string New_Room_Code();
// The form players read and type, "ABCD-EFGH".
std::string Show_Room_Code(const std::string &code);
// A code as a player may type it, in any case, with or without the dash, to
// its plain form; false for anything else.
bool Read_Room_Code(std::string_view text, std::string &code);

std::string New_Seat_Token();
// Compares in a time that does not depend on where the two first differ.
bool Same_Token(const std::string &a, const std::string &b);

// What the rooms keep of a token: its SHA-256 in hexadecimal, so that a
// copy of the store gives nobody a seat.
std::string Token_Hash(const std::string &token);

// SOLIDS or STRIPES, each half the time.
int Draw_Side();
