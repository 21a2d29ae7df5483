#include "config/SettingsRecords.h"

// Each record's fields end where the next begins and the last one fills the
// record: a mistyped offset fails the build.
static_assert(TSettingsFileHeader::oSaveTime + 8 == TSettingsFileHeader::Size);

static_assert(TAppSettings::oReserved + TAppSettings::ReservedSize == TAppSettings::oModelFlags);
static_assert(TAppSettings::oIntervalKind + 1 + 3 == TAppSettings::oLanCheckMinutes);
static_assert(TAppSettings::oLanCheckMinutes + 4 == TAppSettings::oDialEntryName);
static_assert(TAppSettings::oDialEntryName + ShortStrSize == TAppSettings::oDialCheckHours);
static_assert(TAppSettings::oRedialCount + 4 == TAppSettings::oSpareText1);
static_assert(TAppSettings::oSpareText1 + ShortStrSize == TAppSettings::oWaveFileName);
static_assert(TAppSettings::oWaveFileName + ShortStrSize == TAppSettings::oSpareText2);
static_assert(TAppSettings::oSpareText2 + ShortStrSize == TAppSettings::oTuneNumber);
static_assert(TAppSettings::oMiddleFunction + 4 == TAppSettings::oEmailProgram);
static_assert(TAppSettings::oEmailProgram + ShortStrSize == TAppSettings::oBrowserProgram);
static_assert(TAppSettings::oBrowserProgram + ShortStrSize == TAppSettings::Size);

static_assert(TListHeader::oStoreName + ShortStrSize == TListHeader::oStoreVersion);
static_assert(TListHeader::oStoreCount + 4 == TListHeader::Size);

static_assert(TAccountData::oReservedText + ShortStrSize == TAccountData::oReservedFlag);
static_assert(TAccountData::oPassword + ShortStrSize + 6 == TAccountData::Size);

static_assert(TFilterData::oReservedText + ShortStrSize == TFilterData::oReservedFlag);
static_assert(TFilterData::oSpareText2 + ShortStrSize + 3 == TFilterData::oTuneNumber);
static_assert(TFilterData::oTuneNumber + 4 == TFilterData::Size);

static_assert(TNotifyData::oSpareText2 + ShortStrSize == TNotifyData::oTuneNumber);
static_assert(TNotifyData::oTuneNumber + 4 == TNotifyData::Size);
