#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

// The most an image may hold: the largest flash a board can take, 128 K words.
constexpr int MaxImageBytes = 0x40000;

// A flash image as the chip takes it: 16-bit words from word address 0, each low byte first.
struct FlashImage
{
    std::vector<std::uint16_t> Words;
    // A raw file of odd length: its last byte makes no word and is not written.
    bool OddByteDropped = false;
};

// An image, or why there is none (then Image is empty and Problem says why).
struct ImageParse
{
    std::optional<FlashImage> Image;
    QString Problem = {};
};

// Whether the first line that is not blank starts an Intel HEX record: ":" and hex digits. A
// later line that is no record is then the file's fault, not a sign of raw bytes.
bool IsIntelHex(const QByteArray& bytes);

// The data records of an Intel HEX file placed at their addresses (types 00, 01, 02 and 04;
// the start addresses 03 and 05 are ignored), gaps and a last half word filled with 0xFF, the
// erased state. A bad record, a wrong checksum, data beyond MaxImageBytes, other data for a
// byte already given or a missing end record give no image, and the problem names the line.
ImageParse ParseIntelHex(const QByteArray& bytes);

// Intel HEX when the bytes are that, otherwise raw little-endian words: the first
// MaxImageBytes bytes, without an odd last byte.
ImageParse ParseImage(const QByteArray& bytes);

// The image in a file. The problem starts with the path: the system's reason when the file
// cannot be read, the .hex and .bin to flash instead of an ELF file, or the Intel HEX line at
// fault.
ImageParse LoadImageFile(const QString& path);

// The bytes as Intel HEX from address 0: data records of 16 bytes, an extended linear address
// before each 64 KB past the first, and the end record.
QByteArray ToIntelHex(const QByteArray& bytes);
