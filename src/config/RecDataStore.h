#pragma once
// Record lists: an ordered list of fixed-size records that owns its records,
// stored as a list header block followed by one block per record.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/SettingsRecords.h"
#include "config/ZStream.h"

class TRecDataStore {
public:
    virtual ~TRecDataStore();
    TRecDataStore(const TRecDataStore&) = delete;
    TRecDataStore& operator=(const TRecDataStore&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    // Record `index` (0 to Count - 1); EListError otherwise.
    uint8_t* Get(int index);
    const uint8_t* Get(int index) const;
    // Appends a zero-filled record of RecordSize bytes and returns it.
    uint8_t* New();
    // Frees record `index`; later records move up by one. EListError for a bad index.
    void Delete(int index);
    void Clear();
    // Replaces the records with copies of `other`'s records; the list header is not copied.
    void CopyFrom(const TRecDataStore& other);

    // Reads the list header block and the record blocks that follow it.
    void LoadFromStream(TStream& stream);
    // Writes the list header block and one block per record.
    void SaveToStream(TStream& stream);

    const std::string& StoreName() const { return FStoreName; }
    int32_t StoreVersion() const { return FStoreVersion; }
    int32_t RecordSize() const { return FRecordSize; }
    // StoreVersion of the list last read or written.
    int32_t LoadedVersion() const { return FLoadedVersion; }
    // The list header as last read or written.
    TListHeader Header() { return TListHeader(FHeader); }

protected:
    // A derived list calls its InitStore from its own constructor: a virtual
    // call from this constructor would not reach it.
    TRecDataStore() = default;

    // Sets StoreName, StoreVersion and RecordSize.
    virtual void InitStore() = 0;
    // Called by LoadFromStream when the stored list has another StoreVersion.
    // This one raises EAbstractError, which fails the load.
    virtual void UpgradeRecords();

    std::string FStoreName;
    int32_t FStoreVersion = 0;
    int32_t FRecordSize = 0;

private:
    uint8_t FHeader[TListHeader::Size]{};
    std::vector<std::unique_ptr<uint8_t[]>> FItems;
    int32_t FLoadedVersion = 0;
};

// The POP3 accounts ("AccountDatas", records of TAccountData).
class TEMailAccountHolder : public TRecDataStore {
public:
    TEMailAccountHolder() { TEMailAccountHolder::InitStore(); }
    TAccountData Get(int index) { return TAccountData(TRecDataStore::Get(index)); }
    TAccountData New() { return TAccountData(TRecDataStore::New()); }

protected:
    void InitStore() override;
};

// The sender filter addresses ("FilterDatas", records of TFilterData).
class TEmailFilterHolder : public TRecDataStore {
public:
    TEmailFilterHolder() { TEmailFilterHolder::InitStore(); }
    TFilterData Get(int index) { return TFilterData(TRecDataStore::Get(index)); }
    TFilterData New() { return TFilterData(TRecDataStore::New()); }

protected:
    void InitStore() override;
};

// The notices of the last check ("NotifyDatas", records of TNotifyData); never stored.
class TEmailNotifyHolder : public TRecDataStore {
public:
    TEmailNotifyHolder() { TEmailNotifyHolder::InitStore(); }
    TNotifyData Get(int index) { return TNotifyData(TRecDataStore::Get(index)); }
    TNotifyData New() { return TNotifyData(TRecDataStore::New()); }

protected:
    void InitStore() override;
    void UpgradeRecords() override {}
};
