#pragma once
// The settings file and the program-wide settings variables.
//
// File layout, front to back: the 24-byte TSettingsFileHeader (not
// compressed), one block with the TAppSettings record, the account list (a
// list header block, then one block per TAccountData), the filter list (the
// same with TFilterData). Blocks are written by TZStream::WriteCompressedBlock.
#include <cstdint>
#include <functional>
#include <string>

#include "base/DateTime.h"
#include "config/RecDataStore.h"
#include "config/SettingsRecords.h"

// The live settings (zero until loaded) and the working copy that the
// settings dialog edits.
extern TAppSettings AppSettings;
extern TAppSettings WorkSettings;
// Live and working account and filter lists.
extern TEMailAccountHolder AccountHolder;
extern TEMailAccountHolder WorkAccountHolder;
extern TEmailFilterHolder FilterHolder;
extern TEmailFilterHolder WorkFilterHolder;
// The notices of the last check.
extern TEmailNotifyHolder NotifyHolder;
// A mail check is running.
extern uint8_t CheckRunning;
// The settings dialog applied changes that are not yet adopted.
extern uint8_t SettingsPending;
// The header last read or written.
extern TSettingsFileHeader SettingsHeader;
// Full path of the settings file.
extern std::string SettingsFileName;

// Remembers the path that LoadSettings and SaveSettings use.
void SetSettingsFileName(const std::string& path);

// Reads the whole file into SettingsHeader, AppSettings, AccountHolder and
// FilterHolder; returns SettingsHeader.FirstRun. Raises on every failure
// (stream, zlib and list errors; see ReadSettingsFile).
uint8_t LoadSettings();

// Writes the whole file from AppSettings, AccountHolder and FilterHolder with
// Version 1024, RecordSize 1576, FirstRun 0 and SaveTime the current local
// time (the header's padding bytes go out as they are). The new file is
// written beside the old one and replaces it only when complete: a failed
// save raises and leaves the previous file as it was.
void SaveSettings();

// The source of the current local date and time for SaveTime. An empty
// function restores the system clock.
void SetSettingsClock(std::function<TDateTime()> clock);
// The system's local date and time.
TDateTime SystemLocalNow();

// The two halves of LoadSettings and SaveSettings, for any set of records.
//
// ReadSettingsFile reads header, settings record and both lists. A header
// whose RecordSize is not 1576 and a list whose record size is not its own are
// refused as corrupted data; bytes after the filter list are not read.
void ReadSettingsFile(const std::string& fileName, TSettingsFileHeader& header, TAppSettings& settings,
                      TEMailAccountHolder& accounts, TEmailFilterHolder& filters);
// WriteSettingsFile writes the header as given, then the records, into
// fileName + ".tmp", and moves that over fileName when it is complete. A
// failure removes the partial file and raises EFCreateError "Cannot create
// file %s" (with fileName) or EWriteError "Stream write error".
void WriteSettingsFile(const std::string& fileName, const TSettingsFileHeader& header,
                       const TAppSettings& settings, TEMailAccountHolder& accounts,
                       TEmailFilterHolder& filters);
