#pragma once

#include <array>
#include <cstdint>
#include <string>

// The configuration image: the exact bytes of the box's 1543-byte SysEx dump. Everything that
// edits, plays, stores or sends the configuration works on these bytes in place.
namespace vkv::image {

constexpr int DumpSize = 1543;
constexpr int PotCount = 256;
constexpr int ButtonCount = 128;
constexpr int PotsPerBank = 16;
constexpr int ButtonsPerBank = 8;
constexpr int RecordSize = 4;
constexpr int PotRecordsOffset = 6;
constexpr int ButtonRecordsOffset = PotRecordsOffset + PotCount * RecordSize; // 1030
constexpr int EndByteOffset = DumpSize - 1;                                   // 1542

// Header of a configuration dump of this box model, and the request for one.
constexpr std::array<std::uint8_t, 6> DumpHeader{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02};
constexpr std::array<std::uint8_t, 7> DumpRequest{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x01, 0xF7};
constexpr std::uint8_t SysExEnd = 0xF7;

using DumpBytes = std::array<std::uint8_t, DumpSize>;

// Field numbers of a record.
enum PotField { PotStatus = 0, PotByte1 = 1, PotMin = 2, PotMax = 3 };
enum ButtonField { ButtonStatus = 0, ButtonByte1 = 1, ButtonByte2 = 2, ButtonMode = 3 };

constexpr int potOffset(int pot, int field = 0) {
    return PotRecordsOffset + RecordSize * pot + field;
}
constexpr int buttonOffset(int button, int field = 0) {
    return ButtonRecordsOffset + RecordSize * button + field;
}

// Pots are shown as bank.number with 16 to a bank, buttons with 8 to a bank; both 1-based.
constexpr int potBank(int pot) {
    return pot / PotsPerBank + 1;
}
constexpr int potNumber(int pot) {
    return pot % PotsPerBank + 1;
}
constexpr int buttonBank(int button) {
    return button / ButtonsPerBank + 1;
}
constexpr int buttonNumber(int button) {
    return button % ButtonsPerBank + 1;
}
constexpr int potFromBank(int bank, int number) {
    return (bank - 1) * PotsPerBank + number - 1;
}
constexpr int buttonFromBank(int bank, int number) {
    return (bank - 1) * ButtonsPerBank + number - 1;
}
std::string bankNumberText(int bank, int number); // "%d.%d"

// Status bytes are stored with bit 7 cleared so the dump stays within SysEx data bytes.
constexpr std::uint8_t storeStatus(int status) {
    return static_cast<std::uint8_t>(status & 0x7F);
}
constexpr std::uint8_t readStatus(std::uint8_t stored) {
    return static_cast<std::uint8_t>(stored | 0x80);
}

class ConfigImage {
public:
    ConfigImage();

    // Field 0 is the status (restored with bit 7 set); other fields are the raw byte.
    std::uint8_t pot(int pot, int field) const;
    void setPot(int pot, int field, int value);
    std::uint8_t button(int button, int field) const;
    void setButton(int button, int field, int value);

    // Writes the dump's header and end byte and touches nothing else. Run before every send and
    // every store, so an image taken in with another header still leaves the program framed.
    void frame();

    DumpBytes &bytes() { return data; }
    const DumpBytes &bytes() const { return data; }
    std::uint8_t *raw() { return data.data(); }
    const std::uint8_t *raw() const { return data.data(); }

private:
    DumpBytes data{};
};

// Writes header and end byte into a dump-sized buffer.
void frameDump(std::uint8_t *dump);

// The two images built into the program.
constexpr int Kv64DumpSize = 2055;
// Copies the built-in default image into `image`. The image is left untouched when the
// resource cannot be read whole; returns whether it was copied.
bool loadDefaultImage(ConfigImage &image);
// The built-in images as stored in the program's resources (empty when missing).
std::string defaultImageResource();
std::string kv64ImageResource();

} // namespace vkv::image
