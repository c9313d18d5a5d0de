// The letters and sizes both ends of the serial line agree on.
#pragma once

namespace brindle::protocol {

inline constexpr char kIdentify = 'I';
inline constexpr char kErase = 'S';
inline constexpr char kBlank = 'N';
inline constexpr char kLockBit1 = 'A';
inline constexpr char kLockBit2 = 'B';
inline constexpr char kLockBit3 = 'C';
inline constexpr char kWrite = 'W';
inline constexpr char kNextBlock = 'Q'; // the board asks for the next block of a write
inline constexpr char kEndWrite = 'Z';  // no more blocks
inline constexpr char kRead = 'R';
inline constexpr char kFetch = 'T';     // send the next block of a read

inline constexpr int kCodeChars = 2;   // the identification code
inline constexpr int kBlockBytes = 32;
inline constexpr int kBlockChars = 64; // a block on the wire: two hexadecimal digits a byte

// A command's letter in upper case answers success, in lower case a failure the board found.
constexpr char failureLetter(char command) { return command >= 'A' && command <= 'Z' ? char(command - 'A' + 'a') : command; }

// A hexadecimal digit's value (either case), -1 for any other character.
constexpr int hexDigitValue(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The lock bit command for bit 1, 2 or 3.
constexpr char lockBitLetter(int bit) { return char(kLockBit1 + bit - 1); }

} // namespace brindle::protocol
