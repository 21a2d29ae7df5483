#include "config/RecDataStore.h"

#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"

TRecDataStore::~TRecDataStore() { Clear(); }

uint8_t* TRecDataStore::Get(int index) {
    CheckListIndex(index, Count());
    return FItems[static_cast<size_t>(index)].get();
}

const uint8_t* TRecDataStore::Get(int index) const {
    CheckListIndex(index, Count());
    return FItems[static_cast<size_t>(index)].get();
}

uint8_t* TRecDataStore::New() {
    FItems.push_back(std::make_unique<uint8_t[]>(static_cast<size_t>(FRecordSize)));  // zero-filled
    return FItems.back().get();
}

void TRecDataStore::Delete(int index) {
    CheckListIndex(index, Count());
    FItems.erase(FItems.begin() + index);
}

void TRecDataStore::Clear() { FItems.clear(); }

void TRecDataStore::CopyFrom(const TRecDataStore& other) {
    if (&other == this) return;  // clearing first would lose the records
    Clear();
    // Lists of one kind have one record size; for any other pair copy what
    // both have and leave the rest zero, so no copy reads past a record.
    const size_t n = static_cast<size_t>(std::min(FRecordSize, other.FRecordSize));
    for (const auto& item : other.FItems) {
        uint8_t* rec = New();
        std::memcpy(rec, item.get(), n);
    }
}

void TRecDataStore::SaveToStream(TStream& stream) {
    TListHeader h = Header();
    h.SetStoreName(FStoreName);
    h.SetStoreVersion(FStoreVersion);
    h.SetRecordSize(FRecordSize);
    h.SetStoreCount(Count());
    TZStream::WriteCompressedBlock(stream, FHeader, TListHeader::Size);
    for (const auto& item : FItems)
        TZStream::WriteCompressedBlock(stream, item.get(), static_cast<uint32_t>(FRecordSize));
    FLoadedVersion = FStoreVersion;
}

void TRecDataStore::LoadFromStream(TStream& stream) {
    Clear();
    TZStream::ReadCompressedBlock(stream, FHeader, TListHeader::Size);
    TListHeader h = Header();
    const int32_t count = h.StoreCount();
    // Every record block must hold exactly one of this list's records; a list
    // stored with another record size is refused rather than read past or
    // short of a record.
    if (count > 0 && h.RecordSize() != FRecordSize)
        throw EZlibDataError("zlib: Compressed data is corrupted");
    for (int32_t i = 0; i < count; ++i) {
        auto rec = std::make_unique<uint8_t[]>(static_cast<size_t>(FRecordSize));
        TZStream::ReadCompressedBlock(stream, rec.get(), static_cast<uint32_t>(FRecordSize));
        FItems.push_back(std::move(rec));
    }
    FLoadedVersion = h.StoreVersion();
    if (FLoadedVersion != FStoreVersion) UpgradeRecords();
}

void TRecDataStore::UpgradeRecords() { throw EAbstractError("Abstract Error"); }

void TEMailAccountHolder::InitStore() {
    FStoreName = "AccountDatas";
    FStoreVersion = 768;
    FRecordSize = static_cast<int32_t>(TAccountData::Size);
}

void TEmailFilterHolder::InitStore() {
    FStoreName = "FilterDatas";
    FStoreVersion = 768;
    FRecordSize = static_cast<int32_t>(TFilterData::Size);
}

void TEmailNotifyHolder::InitStore() {
    FStoreName = "NotifyDatas";
    FStoreVersion = 768;
    FRecordSize = static_cast<int32_t>(TNotifyData::Size);
}
