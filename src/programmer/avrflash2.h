#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QString>

#include "platform/serialchannel.h"

// Progress of a flash transfer: percentage done and the estimated time left ("h:mm:ss").
using TProgressEvent = std::function<void(double percent, const QString& remaining)>;

// How the board search fared on one port.
struct PortAttempt
{
    enum Kind
    {
        Found,
        Refused,          // the port could not be opened; Refusal says why
        Silent,           // nothing answered
        NoBoard,          // something answered, but not with the board's version texts
        NoProgMode,       // the board did not confirm programming mode
        NoSignature,      // the chip's signature did not come
        EmptySignature,   // the chip answered 0x000000 or 0xFFFFFF: no chip, or a dead one
        UnknownSignature, // a signature that no row of the device table has
        NoParameters,     // the board did not take the chip's parameters
        Stopped           // the search was stopped while the board was asked
    };
    int Port = 0;
    QString Device = {};
    Kind What = Refused;
    PortRefusal Refusal = PortRefusal::NoDevice;
    long Holder = 0;             // a refused port's holding process, where known
    std::uint32_t Signature = 0; // the signature read (EmptySignature, UnknownSignature)
};

// The link to the in-system programming board on a serial port: finds the board, identifies
// the chip and programs it. Every operation blocks until done and reports only through its
// result; nothing is thrown and nothing is shown.
class TAVRFlash final
{
public:
    // The ports a search without a port number tries, in turn.
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 8;

    explicit TAVRFlash(PortOpener opener);
    TAVRFlash();
    ~TAVRFlash();
    TAVRFlash(const TAVRFlash&) = delete;
    TAVRFlash& operator=(const TAVRFlash&) = delete;

    int Port = 0;
    QString SWVersion;
    QString HWVersion;
    TProgressEvent OnProgress;
    // Asked before each port of the search and each block of a transfer; true ends the search
    // or the transfer there, so that no frame is cut off half sent. May be empty.
    std::function<bool()> CancelRequested;
    std::int8_t Device = 0;
    // The first port of the last Connect that the system refused to this user; empty if none.
    QString DeniedDevice;
    // Told of each port the search has tried, as soon as it is done with it. May be empty.
    std::function<void(const PortAttempt&)> OnPortTried;

    // Finds the board: a port number of 1 or more tries that port alone, any other number COM1 to
    // COM8 in turn. True leaves the chip in programming mode and identified.
    bool Connect(int port);
    void Disconnect();

    // Operations on the identified chip.
    QString DeviceName() const;
    int FlashWords() const;
    int ProgramFlash(const std::uint16_t* image, int count);
    int ReadFlash(std::uint16_t* buffer, int count);
    bool WriteInstruction(std::uint8_t i1, std::uint8_t i2, std::uint8_t i3, std::uint8_t i4);
    bool ReadInstruction(std::uint8_t i1, std::uint8_t i2, std::uint8_t i3, std::uint8_t& answer);

private:
    // Port primitives.
    bool IsOpen() const { return Handle != nullptr; }
    bool OpenPort(int n);
    void ClosePort();
    void Purge();
    bool SendByte(std::uint8_t b);
    bool ReceiveByte(std::uint8_t& b, std::uint32_t timeoutMs);
    bool SendCommand(char letter, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                     std::uint8_t b4, std::uint32_t ackTimeoutMs);
    bool WaitDone(std::uint32_t timeoutMs);

    // Steps of the board detection.
    bool Detect();
    PortAttempt::Kind Handshake();
    void Tried(PortAttempt::Kind what);
    QString GetVersionText(std::uint8_t which);
    bool QueryVersions();
    bool EnterProgMode();
    bool LeaveProgMode();
    std::uint32_t ReadSignature();
    bool Identify();
    bool SendDeviceParams();

    // Blocks of a transfer.
    bool IsPaged() const;
    bool ChipErase();
    int WriteBlock(int address, int count, const std::uint16_t* words);
    int WritePageBlock(int address, int count, const std::uint16_t* words);
    int ReadBlock(int address, int count, std::uint16_t* words);
    int WriteWords(char letter, int address, int count, const std::uint16_t* words);
    void StartTimer();
    QString RemainingTime(double fraction) const;
    void ReportProgress(int done, int count) const;
    bool StopRequested() const { return CancelRequested && CancelRequested(); }

    std::unique_ptr<SerialChannel> Handle;
    std::uint32_t StartTicks = 0;
    PortOpener FOpener;
    PortAttempt FAttempt;
    bool FHeard = false;                     // a byte came since the port was opened
    std::optional<std::uint32_t> FSignature; // the three bytes the chip answered, if they came
    bool FStoppable = false;                 // waits may be cut short: no chip in programming mode
};

// "h:mm:ss" for a number of seconds, as the remaining time is shown.
QString FormatRemainingTime(int seconds);
// The time a transfer still needs when the given fraction of it took elapsedMs, never below 0.
QString EstimateRemainingTime(std::int32_t elapsedMs, double fraction);
