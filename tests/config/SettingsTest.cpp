// LoadSettings and SaveSettings on real files.
#include <gtest/gtest.h>

#include <ctime>
#include <random>

#include "ConfigTestUtil.h"
#include "config/Settings.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

using namespace cfgtest;

namespace {

const TDateTime kSaveTime = 45678.5;  // 2025-01-22 12:00

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        SetSettingsFileName(Path);
        SetSettingsClock([] { return kSaveTime; });
    }
    void TearDown() override {
        SetSettingsClock(nullptr);
        Reset();
    }
    static void Reset() {
        AppSettings = TAppSettings{};
        WorkSettings = TAppSettings{};
        SettingsHeader = TSettingsFileHeader{};
        AccountHolder.Clear();
        FilterHolder.Clear();
    }

    // Live settings with something in every byte that a save must keep.
    static void FillLive(int accounts = 2, int filters = 1) {
        for (size_t i = 0; i < TAppSettings::Size; ++i) AppSettings.Bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        AppSettings.ModelFlags() = mfMiddleKey | mfUsbMouse;
        AppSettings.OptionFlags() = ofPeriodicCheck | ofLightLed;
        AppSettings.SetLanCheckMinutes(15);
        AppSettings.SetDialEntryName("Provider \xC4\xD6\xDC");
        AppSettings.SetWaveFileName("C:\\Sounds\\new mail.wav");
        AppSettings.SetRedialCount(-3);
        for (int i = 0; i < accounts; ++i) {
            TAccountData a = AccountHolder.New();
            a.ReservedFlag() = 1;
            a.SetPopServer(std::string("pop") + std::to_string(i) + ".example.org");
            a.SetUserName(std::string("user") + std::to_string(i));
            a.SetPassword(std::string("pw\xFF") + std::to_string(i));
        }
        for (int i = 0; i < filters; ++i) {
            TFilterData f = FilterHolder.New();
            f.ReservedFlag() = 1;
            f.SetAddress(std::string("friend") + std::to_string(i) + "@example.org");
            f.SetTuneNumber(i + 1);
        }
        SettingsHeader.Bytes[1] = 0x11;  // padding: written back as it is
        SettingsHeader.Bytes[13] = 0x22;
    }

    // A saved file with two accounts and one filter.
    Bytes SavedFile() {
        FillLive();
        SaveSettings();
        return ReadBytes(Path);
    }

    TempDir Dir;
    std::string Path = Dir.File("MAILBELL.dat");
};

TEST_F(SettingsFile, SaveAndLoadKeepEveryByte) {
    FillLive(3, 2);
    const TAppSettings live = AppSettings;
    TEMailAccountHolder accounts;
    accounts.CopyFrom(AccountHolder);
    TEmailFilterHolder filters;
    filters.CopyFrom(FilterHolder);
    SettingsHeader.FirstRun() = 1;
    SaveSettings();

    Reset();
    FilterHolder.New();  // replaced by the load
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(0, std::memcmp(AppSettings.Bytes, live.Bytes, TAppSettings::Size));
    ASSERT_EQ(AccountHolder.Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(0, std::memcmp(AccountHolder.Get(i).Data(), accounts.Get(i).Data(), TAccountData::Size)) << i;
    ASSERT_EQ(FilterHolder.Count(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(0, std::memcmp(FilterHolder.Get(i).Data(), filters.Get(i).Data(), TFilterData::Size)) << i;
    EXPECT_EQ(SettingsHeader.FirstRun(), 0);
    EXPECT_EQ(SettingsHeader.Version(), 1024);
    EXPECT_EQ(SettingsHeader.RecordSize(), 1576);
    EXPECT_EQ(SettingsHeader.SaveTime(), kSaveTime);
    EXPECT_EQ(SettingsHeader.Bytes[1], 0x11);
    EXPECT_EQ(SettingsHeader.Bytes[13], 0x22);
    EXPECT_EQ(AppSettings.DialEntryName(), "Provider \xC4\xD6\xDC");
    EXPECT_EQ(AccountHolder.Get(2).Password(), "pw\xFF" "2");
}

TEST_F(SettingsFile, SaveWritesTheFixedHeaderValues) {
    const Bytes file = SavedFile();
    const auto* p = reinterpret_cast<const uint8_t*>(file.data());
    EXPECT_EQ(p[0], 0);  // FirstRun
    EXPECT_EQ(p[1], 0x11);
    EXPECT_EQ(GetI32(p + 4), 1024);
    EXPECT_EQ(GetI32(p + 8), 1576);
    EXPECT_EQ(p[13], 0x22);
    EXPECT_EQ(GetF64(p + 16), kSaveTime);
    // Nothing after the filter list.
    EXPECT_EQ(MapFile(file).End, file.size());
}

TEST_F(SettingsFile, LoadReturnsTheStoredFirstRunAndTakesAnyVersion) {
    Bytes file = SavedFile();
    file[0] = 1;
    PutI32(reinterpret_cast<uint8_t*>(file.data()) + 4, 1000);
    WriteBytes(Path, file);
    Reset();
    EXPECT_EQ(LoadSettings(), 1);
    EXPECT_EQ(SettingsHeader.Version(), 1000);
    EXPECT_EQ(AccountHolder.Count(), 2);
    // The save after the first-run wizard clears the flag.
    SaveSettings();
    EXPECT_EQ(SettingsHeader.FirstRun(), 0);
    EXPECT_EQ(ReadBytes(Path)[0], 0);
}

TEST_F(SettingsFile, TwoSavesDifferOnlyInSaveTime) {
    FillLive();
    SaveSettings();
    const Bytes first = ReadBytes(Path);
    SetSettingsClock([] { return kSaveTime + 1.25; });
    SaveSettings();
    const Bytes second = ReadBytes(Path);
    ASSERT_EQ(first.size(), second.size());
    EXPECT_EQ(first.substr(0, 16), second.substr(0, 16));
    EXPECT_EQ(first.substr(24), second.substr(24));
    EXPECT_EQ(GetF64(reinterpret_cast<const uint8_t*>(second.data()) + 16), kSaveTime + 1.25);
}

TEST_F(SettingsFile, SaveTimeDefaultsToTheLocalClock) {
    SetSettingsClock(nullptr);
    const std::time_t before = std::time(nullptr);
    SaveSettings();
    const std::time_t after = std::time(nullptr);
    auto local = [](std::time_t t) {
        std::tm lt = *std::localtime(&t);
        return EncodeDateTime({lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec, 0});
    };
    const double oneSecond = 1.0 / 86400;
    EXPECT_GE(SettingsHeader.SaveTime(), local(before) - oneSecond);
    EXPECT_LE(SettingsHeader.SaveTime(), local(after) + oneSecond);
}

TEST_F(SettingsFile, IncompressibleRecordIsStoredAndZeroRecordCompressed) {
    FillLive(1, 1);
    std::mt19937 rng(7);
    uint8_t* rec = AccountHolder.Get(0).Data();
    for (size_t i = 0; i < TAccountData::Size; ++i) rec[i] = static_cast<uint8_t>(rng());
    const Bytes expected(reinterpret_cast<char*>(rec), TAccountData::Size);
    std::memset(FilterHolder.Get(0).Data(), 0, TFilterData::Size);
    SaveSettings();

    const Bytes file = ReadBytes(Path);
    const FileMap m = MapFile(file);
    ASSERT_EQ(m.Accounts.size(), 1u);
    EXPECT_EQ(m.Accounts[0].Packed, 0xFFFFFFFFu);
    EXPECT_EQ(file.substr(m.Accounts[0].Offset, m.Accounts[0].End() - m.Accounts[0].Offset), StoredBlock(expected));
    ASSERT_EQ(m.Filters.size(), 1u);
    EXPECT_NE(m.Filters[0].Packed, 0xFFFFFFFFu);
    EXPECT_LT(m.Filters[0].Packed, TFilterData::Size);

    Reset();
    LoadSettings();
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(AccountHolder.Get(0).Data()), TAccountData::Size), expected);
}

TEST_F(SettingsFile, LongTextIsCutTo255AndSurvivesTheFile) {
    std::string text(300, '\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('A' + i % 26);
    AppSettings.SetDialCheckHours(5);
    AppSettings.SetDialEntryName(text);
    EXPECT_EQ(AppSettings.DialEntryName(), text.substr(0, 255));
    EXPECT_EQ(AppSettings.DialCheckHours(), 5);
    SaveSettings();
    Reset();
    LoadSettings();
    EXPECT_EQ(AppSettings.DialEntryName(), text.substr(0, 255));
    EXPECT_EQ(AppSettings.DialCheckHours(), 5);
}

TEST_F(SettingsFile, EmptyListsLoadEmpty) {
    SaveSettings();
    const Bytes file = ReadBytes(Path);
    const FileMap m = MapFile(file);
    EXPECT_TRUE(m.Accounts.empty());
    EXPECT_TRUE(m.Filters.empty());
    AccountHolder.New();
    LoadSettings();
    EXPECT_EQ(AccountHolder.Count(), 0);
    EXPECT_EQ(FilterHolder.Count(), 0);
}

TEST_F(SettingsFile, ExtraBytesAfterTheFilterListAreIgnored) {
    WriteBytes(Path, SavedFile() + Bytes(100, '\x5A'));
    Reset();
    LoadSettings();
    EXPECT_EQ(AccountHolder.Count(), 2);
    EXPECT_EQ(FilterHolder.Get(0).Address(), "friend0@example.org");
}

TEST_F(SettingsFile, MissingFileRaisesOpenError) {
    ExpectFailure([] { LoadSettings(); }, Raises<EFOpenError>("Cannot open file " + Path));
    SetSettingsFileName(Dir.Path.string());  // a folder is no settings file
    ExpectFailure([] { LoadSettings(); }, Raises<EFOpenError>("Cannot open file " + Dir.Path.string()));
}

// Damaged files: each case changes a good file (two accounts, one filter).
struct Damage {
    const char* Name;
    std::function<Bytes(const Bytes& file, const FileMap& m)> Apply;
    Failure Want;
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.Name; }

Bytes SettingsRecordOf(const Bytes& file, const FileMap& m) { return BlockData(file, m.Settings); }

Bytes WithListVersion(const Bytes& file, const BlockSpan& head, int32_t version) {
    Bytes h = BlockData(file, head);
    PutI32(reinterpret_cast<uint8_t*>(h.data()) + 256, version);
    return Replace(file, head, PackedBlock(h));
}

Bytes WithHeaderRecordSize(Bytes file, int32_t size) {
    PutI32(reinterpret_cast<uint8_t*>(file.data()) + 8, size);
    return file;
}

class DamagedFile : public SettingsFile, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedFile, LoadRaises) {
    const Bytes good = SavedFile();
    WriteBytes(Path, GetParam().Apply(good, MapFile(good)));
    Reset();
    ExpectFailure([] { LoadSettings(); }, GetParam().Want);
}

const Failure kDataError = Raises<EZlibDataError>(kCorrupted);
const Failure kShort = Raises<EReadError>(kReadError);
const Failure kTruncatedZlib = Raises<EZlibInternalError>("zlib: Internal error. Code -5");

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedFile,
    ::testing::Values(
        Damage{"EmptyFile", [](const Bytes&, const FileMap&) { return Bytes(); }, kShort},
        Damage{"TenBytes", [](const Bytes& f, const FileMap&) { return f.substr(0, 10); }, kShort},
        Damage{"HeaderOnly", [](const Bytes& f, const FileMap&) { return f.substr(0, 24); }, kShort},
        Damage{"SettingsFrameCut", [](const Bytes& f, const FileMap&) { return f.substr(0, 24 + 9); }, kShort},
        Damage{"FrameByteChanged",
               [](Bytes f, const FileMap& m) {
                   f[m.Settings.Offset + 9] ^= 0x10;  // data size
                   return f;
               },
               kDataError},
        Damage{"HeaderCheckChanged",
               [](Bytes f, const FileMap& m) {
                   f[m.Settings.Offset] ^= 0x01;
                   return f;
               },
               kDataError},
        Damage{"StoredBlockWithBadDataCheck",
               [](const Bytes& f, const FileMap& m) {
                   const Bytes rec = SettingsRecordOf(f, m);
                   return Replace(f, m.Settings, Frame(0xFFFFFFFFu, 1576, AdlerOf(rec) ^ 0x100) + rec);
               },
               kDataError},
        Damage{"InflateDataError",
               [](Bytes f, const FileMap& m) {
                   f[m.Settings.Offset + 16] = 0x79;  // zlib header no longer checks
                   return f;
               },
               kDataError},
        Damage{"InflatedTooLong",
               [](const Bytes& f, const FileMap& m) {
                   const Bytes rec = SettingsRecordOf(f, m);
                   const Bytes z = ZlibOf(rec + Bytes(8, '\0'));
                   return Replace(f, m.Settings,
                                  Frame(static_cast<uint32_t>(z.size()), 1576, AdlerOf(rec)) + z);
               },
               kDataError},
        Damage{"AdlerMismatch",
               [](const Bytes& f, const FileMap& m) {
                   const Bytes rec = SettingsRecordOf(f, m);
                   const Bytes z = ZlibOf(rec);
                   return Replace(f, m.Settings,
                                  Frame(static_cast<uint32_t>(z.size()), 1576, AdlerOf(rec) + 1) + z);
               },
               kDataError},
        Damage{"TruncatedZlibStream",
               [](const Bytes& f, const FileMap& m) { return f.substr(0, m.Settings.End() - 5); },
               kTruncatedZlib},
        Damage{"RecordSize1575", [](const Bytes& f, const FileMap&) { return WithHeaderRecordSize(f, 1575); },
               kDataError},
        Damage{"RecordSize1575WithBlockOf1575",
               [](const Bytes& f, const FileMap& m) {
                   const Bytes rec = SettingsRecordOf(f, m).substr(0, 1575);
                   return Replace(WithHeaderRecordSize(f, 1575), m.Settings, PackedBlock(rec));
               },
               kDataError},
        Damage{"RecordSize1577WithBlockOf1577",
               [](const Bytes& f, const FileMap& m) {
                   const Bytes rec = SettingsRecordOf(f, m) + "x";
                   return Replace(WithHeaderRecordSize(f, 1577), m.Settings, PackedBlock(rec));
               },
               kDataError},
        Damage{"AccountListVersion767",
               [](const Bytes& f, const FileMap& m) { return WithListVersion(f, m.AccountHeader, 767); },
               Raises<EAbstractError>("Abstract Error")},
        Damage{"FilterListVersion767",
               [](const Bytes& f, const FileMap& m) { return WithListVersion(f, m.FilterHeader, 767); },
               Raises<EAbstractError>("Abstract Error")},
        Damage{"AccountRecordDamaged",
               [](Bytes f, const FileMap& m) {
                   f[m.Accounts[1].Offset + 14] ^= 0x04;  // data check
                   return f;
               },
               kDataError},
        Damage{"EndsAfterTheAccountList",
               [](const Bytes& f, const FileMap& m) { return f.substr(0, m.Accounts.back().End()); }, kShort},
        Damage{"EndsInsideAnAccountRecord",
               [](const Bytes& f, const FileMap& m) { return f.substr(0, m.Accounts[1].Offset + 20); },
               kTruncatedZlib}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SettingsFile, FirstStartWithoutFolderCannotCreate) {
    const std::string path = Dir.File("missing-folder/MAILBELL.dat");
    SetSettingsFileName(path);
    ExpectFailure([] { SaveSettings(); }, Raises<EFCreateError>("Cannot create file " + path));
}

TEST_F(SettingsFile, SaveCreatesAMissingFile) {
    FillLive();
    SaveSettings();
    Reset();
    LoadSettings();
    EXPECT_EQ(AccountHolder.Count(), 2);
    EXPECT_FALSE(std::filesystem::exists(Path + ".tmp"));
}

TEST_F(SettingsFile, SaveThatCannotCreateItsFileKeepsTheOldOne) {
    const Bytes old = SavedFile();
    std::filesystem::create_directory(Path + ".tmp");  // the new file cannot be made
    AccountHolder.Clear();
    ExpectFailure([] { SaveSettings(); }, Raises<EFCreateError>("Cannot create file " + Path));
    EXPECT_EQ(ReadBytes(Path), old);
}

#ifdef _WIN32
// Opened for reading, the file is shared with readers but not with writers.
TEST_F(SettingsFile, ReadingSharesTheFileWithReadersOnly) {
    const Bytes old = SavedFile();
    TZStream reader(Path, zmOpenRead);
    { TZStream secondReader(Path, zmOpenRead); }
    ExpectFailure([&] { TZStream writer(Path, zmCreate); }, Raises<EFCreateError>("Cannot create file " + Path));
    // A save cannot replace the file meanwhile: it fails and leaves no partial file.
    ExpectFailure([] { SaveSettings(); }, Raises<EFCreateError>("Cannot create file " + Path));
    EXPECT_FALSE(std::filesystem::exists(Path + ".tmp"));
    Bytes back(old.size(), '\0');
    EXPECT_EQ(reader.Read(back.data(), back.size() + 1), old.size());
    EXPECT_EQ(back, old);
}
#else
// The disk fills up in the middle of a save: the old file stays as it was and
// no partial file is left behind.
TEST_F(SettingsFile, SaveThatFailsMidwayKeepsTheOldFile) {
    const Bytes old = SavedFile();
    ASSERT_GT(old.size(), 200u);
    std::mt19937 rng(9);
    for (int i = 0; i < 4; ++i) {  // incompressible records: the new file is large
        uint8_t* rec = AccountHolder.New().Data();
        for (size_t k = 0; k < TAccountData::Size; ++k) rec[k] = static_cast<uint8_t>(rng());
    }
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 2000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ExpectFailure([] { SaveSettings(); }, Raises<EWriteError>("Stream write error"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadBytes(Path), old);
    EXPECT_FALSE(std::filesystem::exists(Path + ".tmp"));
    Reset();
    LoadSettings();
    EXPECT_EQ(AccountHolder.Count(), 2);
}
#endif

}  // namespace
