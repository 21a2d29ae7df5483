// Record lists: list operations and their stored form.
#include <gtest/gtest.h>

#include "ConfigTestUtil.h"
#include "config/RecDataStore.h"

using namespace cfgtest;

namespace {

// Three accounts named a0, a1, a2.
void FillAccounts(TEMailAccountHolder& h, int n = 3) {
    for (int i = 0; i < n; ++i) {
        TAccountData a = h.New();
        a.ReservedFlag() = 1;
        a.SetPopServer(std::string("pop") + std::to_string(i) + ".example");
        a.SetUserName(std::string("a") + std::to_string(i));
        a.SetPassword(std::string("secret\xE9").append(std::to_string(i)));
    }
}

std::vector<std::string> Users(TEMailAccountHolder& h) {
    std::vector<std::string> r;
    for (int i = 0; i < h.Count(); ++i) r.push_back(h.Get(i).UserName());
    return r;
}

TEST(RecordList, NewAppendsZeroFilledRecords) {
    TEMailAccountHolder h;
    FillAccounts(h, 2);
    uint8_t* rec = h.TRecDataStore::New();
    EXPECT_EQ(h.Count(), 3);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(rec), 1032), Bytes(1032, '\0'));
    EXPECT_EQ(h.TRecDataStore::Get(2), rec);
    EXPECT_EQ(h.Get(0).UserName(), "a0");
}

TEST(RecordList, IndexOutsideTheListRaises) {
    TEMailAccountHolder h;
    FillAccounts(h, 2);
    for (int bad : {-1, 2, 100}) {
        SCOPED_TRACE(bad);
        const Failure want = Raises<EListError>(std::string("List index out of bounds (") + std::to_string(bad) + ")");
        ExpectFailure([&] { h.Get(bad); }, want);
        ExpectFailure([&] { h.Delete(bad); }, want);
    }
    EXPECT_EQ(h.Count(), 2);
}

TEST(RecordList, DeleteMovesLaterRecordsUp) {
    TEMailAccountHolder h;
    FillAccounts(h, 4);
    h.Delete(1);
    EXPECT_EQ(Users(h), (std::vector<std::string>{"a0", "a2", "a3"}));
    h.Delete(2);
    h.Delete(0);
    EXPECT_EQ(Users(h), (std::vector<std::string>{"a2"}));
}

TEST(RecordList, CopyFromMakesIndependentCopies) {
    TEMailAccountHolder src, dst;
    FillAccounts(src);
    TAccountData old = dst.New();
    old.SetUserName("replaced");
    dst.CopyFrom(src);
    EXPECT_EQ(Users(dst), (std::vector<std::string>{"a0", "a1", "a2"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(0, std::memcmp(dst.Get(i).Data(), src.Get(i).Data(), TAccountData::Size));
    src.Get(0).SetUserName("changed");
    src.Delete(2);
    EXPECT_EQ(Users(dst), (std::vector<std::string>{"a0", "a1", "a2"}));
}

TEST(RecordList, CopyFromItselfKeepsTheRecords) {
    TEMailAccountHolder h;
    FillAccounts(h);
    h.CopyFrom(h);
    EXPECT_EQ(Users(h), (std::vector<std::string>{"a0", "a1", "a2"}));
}

TEST(RecordList, CopyFromLeavesTheListHeaderAlone) {
    TEMailAccountHolder src, dst;
    FillAccounts(src);
    MemoryStream s;
    src.SaveToStream(s);
    dst.CopyFrom(src);
    EXPECT_EQ(dst.Header().StoreCount(), 0);
    EXPECT_EQ(dst.Header().StoreName(), "");
}

TEST(RecordList, SavedListLoadsInOrder) {
    TEMailAccountHolder h;
    FillAccounts(h);
    MemoryStream s;
    h.SaveToStream(s);
    EXPECT_EQ(h.Header().StoreName(), "AccountDatas");
    EXPECT_EQ(h.Header().StoreVersion(), 768);
    EXPECT_EQ(h.Header().RecordSize(), 1032);
    EXPECT_EQ(h.Header().StoreCount(), 3);
    EXPECT_EQ(h.LoadedVersion(), 768);

    TEMailAccountHolder back;
    FillAccounts(back, 5);  // replaced by the load
    back.LoadFromStream(s);
    EXPECT_EQ(s.Pos, s.Data.size());
    ASSERT_EQ(back.Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(0, std::memcmp(back.Get(i).Data(), h.Get(i).Data(), TAccountData::Size)) << i;
    EXPECT_EQ(back.Get(2).Password(), "secret\xE9" "2");
    EXPECT_EQ(back.LoadedVersion(), 768);
}

TEST(RecordList, EmptyListIsItsHeaderBlockOnly) {
    TEmailFilterHolder h;
    MemoryStream s;
    h.SaveToStream(s);
    const BlockSpan head = SpanAt(s.Data, 0);
    EXPECT_EQ(head.Size, 268u);
    EXPECT_EQ(head.End(), s.Data.size());

    TEmailFilterHolder back;
    back.New();
    back.LoadFromStream(s);
    EXPECT_EQ(back.Count(), 0);
}

// A stored list made by the tests: header values as given, `count` records of `recSize` bytes.
Bytes ListBytes(const std::string& name, int32_t version, int32_t recSize, int32_t count, size_t blocks,
                size_t blockSize) {
    Bytes head(268, '\0');
    auto* p = reinterpret_cast<uint8_t*>(head.data());
    SetShortStr(p, name);
    PutI32(p + 256, version);
    PutI32(p + 260, recSize);
    PutI32(p + 264, count);
    Bytes out = PackedBlock(head);
    for (size_t i = 0; i < blocks; ++i) out += PackedBlock(Bytes(blockSize, static_cast<char>('A' + i)));
    return out;
}

TEST(RecordList, OtherStoreVersionFailsForAccountsAndFilters) {
    for (int32_t version : {767, 769, 0}) {
        SCOPED_TRACE(version);
        TEMailAccountHolder accounts;
        MemoryStream a(ListBytes("AccountDatas", version, 1032, 1, 1, 1032));
        ExpectFailure([&] { accounts.LoadFromStream(a); }, Raises<EAbstractError>("Abstract Error"));
        TEmailFilterHolder filters;
        MemoryStream f(ListBytes("FilterDatas", version, 1288, 0, 0, 0));
        ExpectFailure([&] { filters.LoadFromStream(f); }, Raises<EAbstractError>("Abstract Error"));
    }
}

TEST(RecordList, NotifyListTakesOtherVersions) {
    TEmailNotifyHolder h;
    MemoryStream s(ListBytes("NotifyDatas", 767, 1284, 2, 2, 1284));
    h.LoadFromStream(s);
    EXPECT_EQ(h.Count(), 2);
    EXPECT_EQ(h.LoadedVersion(), 767);
}

TEST(RecordList, StoredNameIsNotChecked) {
    TEMailAccountHolder h;
    MemoryStream s(ListBytes("SomethingElse", 768, 1032, 2, 2, 1032));
    h.LoadFromStream(s);
    EXPECT_EQ(h.Count(), 2);
    EXPECT_EQ(h.Header().StoreName(), "SomethingElse");
}

TEST(RecordList, RecordsOfAnotherSizeAreRefused) {
    // Whatever the blocks hold, a list whose records are not the list's own
    // size is refused, and no record is read past its end.
    for (int32_t size : {1031, 1033, 0, -1, 100000}) {
        SCOPED_TRACE(size);
        for (size_t blockSize : {size_t(1032), size > 0 ? size_t(size) : size_t(1)}) {
            TEMailAccountHolder h;
            MemoryStream s(ListBytes("AccountDatas", 768, size, 1, 1, blockSize));
            ExpectFailure([&] { h.LoadFromStream(s); }, Raises<EZlibDataError>(kCorrupted));
        }
    }
}

TEST(RecordList, EmptyListWithAnyRecordSizeLoads) {
    TEMailAccountHolder h;
    MemoryStream s(ListBytes("AccountDatas", 768, 999, 0, 0, 0));
    h.LoadFromStream(s);
    EXPECT_EQ(h.Count(), 0);
}

TEST(RecordList, MoreRecordsAnnouncedThanStoredFailsWithReadError) {
    TEMailAccountHolder h;
    MemoryStream s(ListBytes("AccountDatas", 768, 1032, 0x7FFFFFFF, 2, 1032));
    ExpectFailure([&] { h.LoadFromStream(s); }, Raises<EReadError>(kReadError));
}

TEST(RecordList, NegativeCountLoadsNothing) {
    TEMailAccountHolder h;
    MemoryStream s(ListBytes("AccountDatas", 768, 1032, -5, 0, 0));
    h.LoadFromStream(s);
    EXPECT_EQ(h.Count(), 0);
}

TEST(RecordViews, TextsAreCutTo255AndKeepTheBytesAfterThem) {
    TEmailNotifyHolder h;
    TNotifyData n = h.New();
    const std::string longText(300, 'x');
    n.SetFromAddress(longText);
    n.SetTuneNumber(-7);
    EXPECT_EQ(n.FromAddress(), longText.substr(0, 255));
    n.SetFromAddress("ab");
    EXPECT_EQ(n.FromAddress(), "ab");
    EXPECT_EQ(n.Data()[TNotifyData::oFromAddress + 3], 'x');  // rest of the longer text
    EXPECT_EQ(n.SpareText1(), "");                            // the next field is untouched
    EXPECT_EQ(n.TuneNumber(), -7);
}

}  // namespace
