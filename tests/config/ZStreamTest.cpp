// Compressed blocks: what WriteCompressedBlock produces and what
// ReadCompressedBlock accepts or refuses.
#include <gtest/gtest.h>

#include <random>

#include "ConfigTestUtil.h"
#include "config/ZStream.h"

using namespace cfgtest;

namespace {

Bytes Random(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n, '\0');
    for (auto& c : b) c = static_cast<char>(rng());
    return b;
}

// Text-like data, as a settings record holds.
Bytes Record(size_t n) {
    Bytes b(n, '\0');
    const char* words = "pop.example.com user@example.com C:\\Windows\\Media\\ding.wav ";
    for (size_t i = 0; i < n / 3; ++i) b[i] = words[i % std::strlen(words)];
    return b;
}

Bytes Written(const Bytes& data) {
    MemoryStream s;
    TZStream::WriteCompressedBlock(s, data.data(), static_cast<uint32_t>(data.size()));
    return s.Data;
}

Bytes ReadBack(const Bytes& block, size_t size, size_t* consumed = nullptr) {
    MemoryStream s(block);
    Bytes out(size, '\x55');
    TZStream::ReadCompressedBlock(s, out.data(), static_cast<uint32_t>(size));
    if (consumed) *consumed = s.Pos;
    return out;
}

struct WriteCase {
    const char* Name;
    Bytes Data;
    bool Stored;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.Name; }

class BlockWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(BlockWrite, FrameMatchesDataAndReadsBack) {
    const WriteCase& c = GetParam();
    const Bytes block = Written(c.Data);
    const BlockSpan span = SpanAt(block, 0);
    EXPECT_EQ(block, c.Stored ? StoredBlock(c.Data) : PackedBlock(c.Data, 9))
        << "frame and payload of a level-9 zlib stream, or the data stored";
    EXPECT_EQ(span.Packed == 0xFFFFFFFFu, c.Stored);
    EXPECT_EQ(span.End(), block.size());
    if (!c.Stored) {
        EXPECT_LT(span.Packed, c.Data.size());
    }

    size_t consumed = 0;
    EXPECT_EQ(ReadBack(block, c.Data.size(), &consumed), c.Data);
    EXPECT_EQ(consumed, block.size());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, BlockWrite,
    ::testing::Values(WriteCase{"Empty", Bytes(), true}, WriteCase{"OneByte", Bytes(1, 'x'), true},
                      WriteCase{"TwoBytes", Bytes(2, 'x'), true},
                      WriteCase{"ZeroRecord", Bytes(1576, '\0'), false},
                      WriteCase{"TextRecord", Record(1032), false},
                      WriteCase{"RandomRecord", Random(1288, 1), true},
                      // More than one 64 KiB output piece when read back.
                      WriteCase{"LargerThanInflateBuffer", Record(200000), false},
                      WriteCase{"LargeRandom", Random(70000, 2), true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(BlockWrite, ZlibStreamHasTheFixedParameters) {
    const Bytes block = Written(Bytes(1576, '\0'));
    // CMF 0x78: deflate with a 32 KiB window (window bits 15); FLG 0xDA: level 9.
    EXPECT_EQ(static_cast<uint8_t>(block[16]), 0x78);
    EXPECT_EQ(static_cast<uint8_t>(block[17]), 0xDA);
}

TEST(BlockWrite, ShortWriteRaisesWriteError) {
    for (size_t limit : {0, 3, 4, 15, 16, 20}) {
        SCOPED_TRACE(limit);
        MemoryStream s;
        s.Limit = limit;
        const Bytes data = Record(1576);
        ExpectFailure([&] { TZStream::WriteCompressedBlock(s, data.data(), 1576); },
                      Raises<EWriteError>("Stream write error"));
    }
}

TEST(BlockRead, AcceptsAnyValidZlibStream) {
    const Bytes data = Record(1576);
    for (int level : {0, 1, 6, 9}) {
        SCOPED_TRACE(level);
        EXPECT_EQ(ReadBack(PackedBlock(data, level), data.size()), data);
    }
    // A stream that needs more than one 64 KiB input piece.
    const Bytes big = Random(150000, 3);
    EXPECT_EQ(ReadBack(PackedBlock(big, 0), big.size()), big);
}

TEST(BlockRead, EveryFrameByteIsGuarded) {
    for (const Bytes& block : {PackedBlock(Record(1576)), StoredBlock(Random(1576, 4))}) {
        for (size_t k = 0; k < 16; ++k) {
            SCOPED_TRACE(k);
            Bytes bad = block;
            bad[k] = static_cast<char>(bad[k] ^ 0x01);
            ExpectFailure([&] { ReadBack(bad, 1576); }, Raises<EZlibDataError>(kCorrupted));
        }
    }
}

TEST(BlockRead, WrongSizeLeavesBufferUntouched) {
    const Bytes data = Record(1576);
    for (size_t expected : {1575, 1577}) {
        SCOPED_TRACE(expected);
        for (const Bytes& block : {PackedBlock(data), StoredBlock(data)}) {
            MemoryStream s(block);
            Bytes out(expected, '\x55');
            ExpectFailure([&] { TZStream::ReadCompressedBlock(s, out.data(), static_cast<uint32_t>(expected)); },
                          Raises<EZlibDataError>(kCorrupted));
            EXPECT_EQ(out, Bytes(expected, '\x55'));
        }
    }
}

struct BadBlock {
    const char* Name;
    std::function<Bytes()> Make;
    Failure Want;
};

void PrintTo(const BadBlock& c, std::ostream* os) { *os << c.Name; }

class BlockReadFailure : public ::testing::TestWithParam<BadBlock> {};

TEST_P(BlockReadFailure, Raises) {
    const BadBlock& c = GetParam();
    const Bytes block = c.Make();
    ExpectFailure([&] { ReadBack(block, 1576); }, c.Want);
}

const Bytes kData = Record(1576);

Bytes WithPayload(uint32_t size, uint32_t dataCheck, const Bytes& z) {
    return Frame(static_cast<uint32_t>(z.size()), size, dataCheck) + z;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockReadFailure,
    ::testing::Values(
        BadBlock{"ShortFrame", [] { return PackedBlock(kData).substr(0, 10); }, Raises<EReadError>(kReadError)},
        BadBlock{"NoFrameAtAll", [] { return Bytes(); }, Raises<EReadError>(kReadError)},
        BadBlock{"StoredPayloadCut", [] { return StoredBlock(kData).substr(0, 16 + 1000); },
                 Raises<EReadError>(kReadError)},
        BadBlock{"StoredDataCheckWrong",
                 [] { return Frame(0xFFFFFFFFu, 1576, AdlerOf(kData) ^ 1) + kData; },
                 Raises<EZlibDataError>(kCorrupted)},
        BadBlock{"ZlibHeaderDamaged",
                 [] {
                     Bytes z = ZlibOf(kData);
                     z[0] = 0x79;
                     return WithPayload(1576, AdlerOf(kData), z);
                 },
                 Raises<EZlibDataError>(kCorrupted)},
        BadBlock{"ZlibTrailerDamaged",
                 [] {
                     Bytes z = ZlibOf(kData);
                     z.back() = static_cast<char>(z.back() ^ 0x40);
                     return WithPayload(1576, AdlerOf(kData), z);
                 },
                 Raises<EZlibDataError>(kCorrupted)},
        BadBlock{"InflatesTooLong", [] { return WithPayload(1576, AdlerOf(kData), ZlibOf(kData + "x")); },
                 Raises<EZlibDataError>(kCorrupted)},
        BadBlock{"InflatesTooShort",
                 [] {
                     const Bytes part = kData.substr(0, 1000);
                     return WithPayload(1576, AdlerOf(part), ZlibOf(part));
                 },
                 Raises<EZlibDataError>(kCorrupted)},
        BadBlock{"DataCheckMismatch", [] { return WithPayload(1576, AdlerOf(kData) + 1, ZlibOf(kData)); },
                 Raises<EZlibDataError>(kCorrupted)},
        BadBlock{"StreamCutShortByPackedSize",
                 [] {
                     Bytes z = ZlibOf(kData);
                     return WithPayload(1576, AdlerOf(kData), z.substr(0, z.size() - 6));
                 },
                 Raises<EZlibInternalError>("zlib: Internal error. Code -5")},
        BadBlock{"StreamCutByEndOfFile",
                 [] {
                     Bytes b = PackedBlock(kData);
                     return b.substr(0, b.size() - 6);
                 },
                 Raises<EZlibInternalError>("zlib: Internal error. Code -5")},
        BadBlock{"EmptyPayload", [] { return Frame(0, 1576, AdlerOf(kData)); },
                 Raises<EZlibInternalError>("zlib: Internal error. Code -5")}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(BlockRead, ConsumesOnlyItsOwnPayload) {
    const Bytes first = PackedBlock(Record(1576));
    const Bytes second = StoredBlock(Random(100, 5));
    MemoryStream s(first + second);
    Bytes out(1576, '\0');
    TZStream::ReadCompressedBlock(s, out.data(), 1576);
    EXPECT_EQ(s.Pos, first.size());
    Bytes out2(100, '\0');
    TZStream::ReadCompressedBlock(s, out2.data(), 100);
    EXPECT_EQ(out2, Random(100, 5));
}

}  // namespace
