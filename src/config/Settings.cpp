#include "config/Settings.h"

#include <memory>
#include <utility>

#include "base/Strings.h"
#include "config/ZStream.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#include <ctime>
#include <unistd.h>
#endif

TAppSettings AppSettings;
TAppSettings WorkSettings;
TEMailAccountHolder AccountHolder;
TEMailAccountHolder WorkAccountHolder;
TEmailFilterHolder FilterHolder;
TEmailFilterHolder WorkFilterHolder;
TEmailNotifyHolder NotifyHolder;
uint8_t CheckRunning = 0;
uint8_t SettingsPending = 0;
TSettingsFileHeader SettingsHeader;
std::string SettingsFileName;

namespace {

std::function<TDateTime()>& Clock() {
    static std::function<TDateTime()> clock;
    return clock;
}

TDateTime Now() {
    const auto& clock = Clock();
    return clock ? clock() : SystemLocalNow();
}

void RemoveFile(const std::string& name) {
#ifdef _WIN32
    DeleteFileA(name.c_str());
#else
    ::unlink(name.c_str());
#endif
}

// Puts the complete file `from` in the place of `to`.
bool ReplaceWith(const std::string& from, const std::string& to) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
    // Windows 9x has no MoveFileExA: remove the old file, then rename. The
    // complete new file exists throughout.
    if (!DeleteFileA(to.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    return MoveFileA(from.c_str(), to.c_str()) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

TDateTime SystemLocalNow() {
    TSystemTime t{};
#ifdef _WIN32
    SYSTEMTIME st;
    GetLocalTime(&st);
    t = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
#else
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm lt{};
    localtime_r(&ts.tv_sec, &lt);
    t = {lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec,
         static_cast<int>(ts.tv_nsec / 1000000)};
#endif
    return EncodeDateTime(t);
}

void SetSettingsClock(std::function<TDateTime()> clock) { Clock() = std::move(clock); }

void SetSettingsFileName(const std::string& path) { SettingsFileName = path; }

void ReadSettingsFile(const std::string& fileName, TSettingsFileHeader& header, TAppSettings& settings,
                      TEMailAccountHolder& accounts, TEmailFilterHolder& filters) {
    TZStream stream(fileName, zmOpenRead);
    stream.ReadBuffer(header.Bytes, TSettingsFileHeader::Size);
    // The settings block must have the size the header states, and that must
    // be the record's own size: a smaller block would leave the record's tail
    // from before, a larger one would not fit.
    if (header.RecordSize() != SettingsRecordSize) throw EZlibDataError("zlib: Compressed data is corrupted");
    TZStream::ReadCompressedBlock(stream, settings.Bytes, TAppSettings::Size);
    accounts.LoadFromStream(stream);
    filters.LoadFromStream(stream);
}

void WriteSettingsFile(const std::string& fileName, const TSettingsFileHeader& header,
                       const TAppSettings& settings, TEMailAccountHolder& accounts,
                       TEmailFilterHolder& filters) {
    const std::string partName = fileName + ".tmp";
    std::unique_ptr<TZStream> stream;
    try {
        stream = std::make_unique<TZStream>(partName, zmCreate);
    } catch (const EFCreateError&) {
        throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
    }
    try {
        stream->WriteBuffer(header.Bytes, TSettingsFileHeader::Size);
        TZStream::WriteCompressedBlock(*stream, settings.Bytes, TAppSettings::Size);
        accounts.SaveToStream(*stream);
        filters.SaveToStream(*stream);
        stream->Commit();
    } catch (...) {
        stream.reset();
        RemoveFile(partName);
        throw;
    }
    stream.reset();
    if (!ReplaceWith(partName, fileName)) {
        RemoveFile(partName);
        throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
    }
}

uint8_t LoadSettings() {
    ReadSettingsFile(SettingsFileName, SettingsHeader, AppSettings, AccountHolder, FilterHolder);
    // Another Version is accepted as it is; there is nothing to convert.
    return SettingsHeader.FirstRun();
}

void SaveSettings() {
    SettingsHeader.SetVersion(SettingsVersion);
    SettingsHeader.SetRecordSize(SettingsRecordSize);
    SettingsHeader.SetSaveTime(Now());
    SettingsHeader.FirstRun() = 0;
    WriteSettingsFile(SettingsFileName, SettingsHeader, AppSettings, AccountHolder, FilterHolder);
}
