#pragma once
// The records of the settings file. Each record is a fixed little-endian byte
// layout; the classes below hold or view those bytes and give typed access by
// field name. Nothing here is ever copied to or from the file as a C++ struct.
//
// Texts are short strings (a length byte and up to 255 characters); a setter
// cuts a longer text to its first 255 characters and writes only the length
// byte and the characters, so the bytes after the text keep what they held.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Bytes.h"
#include "base/DateTime.h"

// Format version and size of the settings record that every save writes.
constexpr int32_t SettingsVersion = 1024;
constexpr int32_t SettingsRecordSize = 1576;

// ModelFlags: capabilities of the mouse model, set only by the shipped file.
constexpr uint8_t mfMiddleKey = 1;     // middle key present (hook library used)
constexpr uint8_t mfTuneChoice = 2;    // the device tune can be chosen
constexpr uint8_t mfDialUp = 4;        // dial-up options offered
constexpr uint8_t mfUsbMouse = 8;      // USB mouse; clear: PS/2 mouse

// OptionFlags: the user's options.
constexpr uint8_t ofMiddleFunction = 1;  // middle-key function on
constexpr uint8_t ofPeriodicCheck = 2;   // periodic mail check on
constexpr uint8_t ofSenderFilter = 4;    // sender filter on
constexpr uint8_t ofLightLed = 8;        // light the LED
constexpr uint8_t ofDeviceTune = 16;     // play the device tune
constexpr uint8_t ofWaveFile = 32;       // play the wave file
constexpr uint8_t ofNotifyWindow = 64;   // show the notify window

// ConnectionType, DialMode, IntervalKind, MiddleFunction values.
constexpr uint8_t ctLan = 0, ctDialUp = 1;
constexpr uint8_t dmAlwaysDial = 0, dmDialWhenOffline = 1;
constexpr uint8_t ikLanMinutes = 0, ikDialHoursMinutes = 1;
constexpr int32_t mfnEmailProgram = 0, mfnBrowser = 1, mfnStopNotify = 2;

namespace record_detail {
inline std::string Text(const uint8_t* rec, size_t ofs) { return GetShortStr(rec + ofs); }
inline void SetText(uint8_t* rec, size_t ofs, std::string_view s) { SetShortStr(rec + ofs, s); }
}  // namespace record_detail

// Accessor helpers for the record classes: a byte field by reference, a 32-bit
// field by getter/setter, a text field by getter/setter.
#define MB_REC_U8(Name, Ofs)                                      \
    uint8_t& Name() { return Data()[Ofs]; }                      \
    uint8_t Name() const { return Data()[Ofs]; }
#define MB_REC_I32(Name, Ofs)                                     \
    int32_t Name() const { return GetI32(Data() + (Ofs)); }      \
    void Set##Name(int32_t v) { PutI32(Data() + (Ofs), v); }
#define MB_REC_TEXT(Name, Ofs)                                    \
    std::string Name() const { return record_detail::Text(Data(), Ofs); } \
    void Set##Name(std::string_view s) { record_detail::SetText(Data(), Ofs, s); }
// The same for the views, whose accessors are const (the view itself does not
// change; the bytes it points at do).
#define MB_VIEW_U8(Name, Ofs)                                     \
    uint8_t& Name() const { return FData[Ofs]; }
#define MB_VIEW_I32(Name, Ofs)                                    \
    int32_t Name() const { return GetI32(FData + (Ofs)); }       \
    void Set##Name(int32_t v) const { PutI32(FData + (Ofs), v); }
#define MB_VIEW_TEXT(Name, Ofs)                                   \
    std::string Name() const { return record_detail::Text(FData, Ofs); } \
    void Set##Name(std::string_view s) const { record_detail::SetText(FData, Ofs, s); }

// TSettingsFileHeader: the 24 uncompressed bytes at the start of the file.
struct TSettingsFileHeader {
    static constexpr size_t Size = 24;
    enum : size_t { oFirstRun = 0, oVersion = 4, oRecordSize = 8, oSaveTime = 16 };

    uint8_t Bytes[Size]{};

    uint8_t* Data() { return Bytes; }
    const uint8_t* Data() const { return Bytes; }

    MB_REC_U8(FirstRun, oFirstRun)
    MB_REC_I32(Version, oVersion)
    MB_REC_I32(RecordSize, oRecordSize)
    TDateTime SaveTime() const { return GetF64(Bytes + oSaveTime); }
    void SetSaveTime(TDateTime t) { PutF64(Bytes + oSaveTime, t); }
};

// TAppSettings: the global settings record.
struct TAppSettings {
    static constexpr size_t Size = SettingsRecordSize;
    static constexpr size_t ReservedSize = 8;
    enum : size_t {
        oReserved = 0,
        oModelFlags = 8,
        oOptionFlags = 9,
        oConnectionType = 10,
        oDialMode = 11,
        oIntervalKind = 12,
        oLanCheckMinutes = 16,
        oDialEntryName = 20,
        oDialCheckHours = 276,
        oDialCheckMinutes = 280,
        oRedialCount = 284,
        oSpareText1 = 288,
        oWaveFileName = 544,
        oSpareText2 = 800,
        oTuneNumber = 1056,
        oMiddleFunction = 1060,
        oEmailProgram = 1064,
        oBrowserProgram = 1320,
    };

    uint8_t Bytes[Size]{};

    uint8_t* Data() { return Bytes; }
    const uint8_t* Data() const { return Bytes; }

    // The 8 bytes that nothing reads or changes; kept by every copy and save.
    uint8_t* Reserved() { return Bytes + oReserved; }
    const uint8_t* Reserved() const { return Bytes + oReserved; }
    MB_REC_U8(ModelFlags, oModelFlags)
    MB_REC_U8(OptionFlags, oOptionFlags)
    MB_REC_U8(ConnectionType, oConnectionType)
    MB_REC_U8(DialMode, oDialMode)
    MB_REC_U8(IntervalKind, oIntervalKind)
    MB_REC_I32(LanCheckMinutes, oLanCheckMinutes)
    MB_REC_TEXT(DialEntryName, oDialEntryName)
    MB_REC_I32(DialCheckHours, oDialCheckHours)
    MB_REC_I32(DialCheckMinutes, oDialCheckMinutes)
    MB_REC_I32(RedialCount, oRedialCount)
    MB_REC_TEXT(SpareText1, oSpareText1)
    MB_REC_TEXT(WaveFileName, oWaveFileName)
    MB_REC_TEXT(SpareText2, oSpareText2)
    MB_REC_I32(TuneNumber, oTuneNumber)
    MB_REC_I32(MiddleFunction, oMiddleFunction)
    MB_REC_TEXT(EmailProgram, oEmailProgram)
    MB_REC_TEXT(BrowserProgram, oBrowserProgram)

    bool HasModel(uint8_t bit) const { return (ModelFlags() & bit) != 0; }
    bool HasOption(uint8_t bit) const { return (OptionFlags() & bit) != 0; }
    void SetOption(uint8_t bit, bool on) {
        OptionFlags() = static_cast<uint8_t>(on ? (OptionFlags() | bit) : (OptionFlags() & ~bit));
    }
};

// The views below point at a record owned by a record list; they are cheap to
// copy and stay valid while the record is in its list.

// TListHeader: the first block of every stored list.
class TListHeader {
public:
    static constexpr size_t Size = 268;
    enum : size_t { oStoreName = 0, oStoreVersion = 256, oRecordSize = 260, oStoreCount = 264 };

    explicit TListHeader(uint8_t* data) : FData(data) {}
    uint8_t* Data() const { return FData; }

    MB_VIEW_TEXT(StoreName, oStoreName)
    MB_VIEW_I32(StoreVersion, oStoreVersion)
    MB_VIEW_I32(RecordSize, oRecordSize)
    MB_VIEW_I32(StoreCount, oStoreCount)

private:
    uint8_t* FData;
};

// TAccountData: one POP3 mailbox.
class TAccountData {
public:
    static constexpr size_t Size = 1032;
    enum : size_t {
        oReservedByte = 0,
        oReservedText = 1,
        oReservedFlag = 257,
        oPopServer = 258,
        oUserName = 514,
        oPassword = 770,
    };

    explicit TAccountData(uint8_t* data) : FData(data) {}
    uint8_t* Data() const { return FData; }

    MB_VIEW_U8(ReservedByte, oReservedByte)
    MB_VIEW_TEXT(ReservedText, oReservedText)
    MB_VIEW_U8(ReservedFlag, oReservedFlag)
    MB_VIEW_TEXT(PopServer, oPopServer)
    MB_VIEW_TEXT(UserName, oUserName)
    MB_VIEW_TEXT(Password, oPassword)

private:
    uint8_t* FData;
};

// TFilterData: one sender address of the filter list.
class TFilterData {
public:
    static constexpr size_t Size = 1288;
    enum : size_t {
        oReservedText = 0,
        oReservedFlag = 256,
        oAddress = 257,
        oSpareText1 = 513,
        oWaveFileName = 769,
        oSpareText2 = 1025,
        oTuneNumber = 1284,
    };

    explicit TFilterData(uint8_t* data) : FData(data) {}
    uint8_t* Data() const { return FData; }

    // 256 bytes that stay zero; neither written nor read.
    uint8_t* ReservedText() const { return FData + oReservedText; }
    MB_VIEW_U8(ReservedFlag, oReservedFlag)
    MB_VIEW_TEXT(Address, oAddress)
    MB_VIEW_TEXT(SpareText1, oSpareText1)
    MB_VIEW_TEXT(WaveFileName, oWaveFileName)
    MB_VIEW_TEXT(SpareText2, oSpareText2)
    MB_VIEW_I32(TuneNumber, oTuneNumber)

private:
    uint8_t* FData;
};

// TNotifyData: one waiting message to be notified (never stored).
class TNotifyData {
public:
    static constexpr size_t Size = 1284;
    enum : size_t {
        oPopServer = 0,
        oFromAddress = 256,
        oSpareText1 = 512,
        oWaveFileName = 768,
        oSpareText2 = 1024,
        oTuneNumber = 1280,
    };

    explicit TNotifyData(uint8_t* data) : FData(data) {}
    uint8_t* Data() const { return FData; }

    MB_VIEW_TEXT(PopServer, oPopServer)
    MB_VIEW_TEXT(FromAddress, oFromAddress)
    MB_VIEW_TEXT(SpareText1, oSpareText1)
    MB_VIEW_TEXT(WaveFileName, oWaveFileName)
    MB_VIEW_TEXT(SpareText2, oSpareText2)
    MB_VIEW_I32(TuneNumber, oTuneNumber)

private:
    uint8_t* FData;
};

#undef MB_REC_U8
#undef MB_REC_I32
#undef MB_REC_TEXT
#undef MB_VIEW_U8
#undef MB_VIEW_I32
#undef MB_VIEW_TEXT
