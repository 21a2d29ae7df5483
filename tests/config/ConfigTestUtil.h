#pragma once
// Helpers of the settings file tests: a memory stream, files in a private
// folder, and a block writer and reader of the tests' own, built on zlib
// directly, to make and take apart files independently of the code under test.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "base/Bytes.h"
#include "base/Exceptions.h"
#include "config/ZStream.h"

namespace cfgtest {

using Bytes = std::string;

inline const char* kCorrupted = "zlib: Compressed data is corrupted";
inline const char* kReadError = "Stream read error";

// A stream over a byte string; writes stop at `limit` bytes when one is set.
class MemoryStream : public TStream {
public:
    MemoryStream() = default;
    explicit MemoryStream(Bytes data) : Data(std::move(data)) {}
    size_t Read(void* buffer, size_t count) override {
        size_t n = std::min(count, Data.size() - Pos);
        std::memcpy(buffer, Data.data() + Pos, n);
        Pos += n;
        return n;
    }
    size_t Write(const void* buffer, size_t count) override {
        size_t n = count;
        if (Limit && Data.size() + n > *Limit) n = *Limit - Data.size();
        Data.append(static_cast<const char*>(buffer), n);
        return n;
    }
    Bytes Data;
    size_t Pos = 0;
    std::optional<size_t> Limit;
};

inline uint32_t AdlerOf(const Bytes& b) {
    return static_cast<uint32_t>(adler32(1, reinterpret_cast<const Bytef*>(b.data()), static_cast<uInt>(b.size())));
}

inline Bytes U32(uint32_t v) {
    Bytes b(4, '\0');
    PutU32(reinterpret_cast<uint8_t*>(b.data()), v);
    return b;
}

// A 16-byte frame with a correct header check.
inline Bytes Frame(uint32_t packed, uint32_t size, uint32_t dataCheck) {
    Bytes twelve = U32(packed) + U32(size) + U32(dataCheck);
    return U32(AdlerOf(twelve)) + twelve;
}

inline Bytes ZlibOf(const Bytes& data, int level = 9) {
    uLongf n = compressBound(static_cast<uLong>(data.size()));
    Bytes out(n, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), level) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(n);
    return out;
}

inline Bytes StoredBlock(const Bytes& data) {
    return Frame(0xFFFFFFFFu, static_cast<uint32_t>(data.size()), AdlerOf(data)) + data;
}

inline Bytes PackedBlock(const Bytes& data, int level = 9) {
    Bytes z = ZlibOf(data, level);
    return Frame(static_cast<uint32_t>(z.size()), static_cast<uint32_t>(data.size()), AdlerOf(data)) + z;
}

// Where one block of a file lies.
struct BlockSpan {
    size_t Offset;     // of the frame
    uint32_t Packed;   // as stored
    uint32_t Size;     // data size
    size_t End() const { return Offset + 16 + (Packed == 0xFFFFFFFFu ? Size : Packed); }
};

// Unpacks the block at `offset` (no checks beyond what zlib does).
inline Bytes BlockData(const Bytes& file, const BlockSpan& b) {
    const char* payload = file.data() + b.Offset + 16;
    if (b.Packed == 0xFFFFFFFFu) return Bytes(payload, b.Size);
    Bytes out(b.Size, '\0');
    uLongf n = b.Size;
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(payload), b.Packed) !=
        Z_OK)
        throw std::runtime_error("uncompress failed");
    return out;
}

inline BlockSpan SpanAt(const Bytes& file, size_t offset) {
    if (offset + 16 > file.size()) throw std::runtime_error("file ends inside a frame");
    const auto* p = reinterpret_cast<const uint8_t*>(file.data()) + offset;
    return BlockSpan{offset, GetU32(p + 4), GetU32(p + 8)};
}

// The blocks of a settings file in order: settings, account list header,
// accounts, filter list header, filters.
struct FileMap {
    BlockSpan Settings;
    BlockSpan AccountHeader;
    std::vector<BlockSpan> Accounts;
    BlockSpan FilterHeader;
    std::vector<BlockSpan> Filters;
    size_t End;
};

inline FileMap MapFile(const Bytes& file) {
    FileMap m{};
    m.Settings = SpanAt(file, 24);
    auto list = [&](size_t at, BlockSpan& head, std::vector<BlockSpan>& recs) {
        head = SpanAt(file, at);
        Bytes h = BlockData(file, head);
        int32_t count = GetI32(reinterpret_cast<const uint8_t*>(h.data()) + 264);
        size_t pos = head.End();
        for (int32_t i = 0; i < count; ++i) {
            recs.push_back(SpanAt(file, pos));
            pos = recs.back().End();
        }
        return pos;
    };
    size_t pos = list(m.Settings.End(), m.AccountHeader, m.Accounts);
    m.End = list(pos, m.FilterHeader, m.Filters);
    return m;
}

inline Bytes Replace(const Bytes& file, const BlockSpan& b, const Bytes& block) {
    return file.substr(0, b.Offset) + block + file.substr(b.End());
}

// Files in a private folder that disappears with the object.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> serial{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        Path = std::filesystem::temp_directory_path() /
               ("mbcfg-" + std::to_string(stamp) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(Path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(Path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(Path, ec);
    }
    std::string File(const std::string& name) const { return (Path / name).string(); }
    std::filesystem::path Path;
};

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

// The failure that `f` must raise: its exact class and text.
struct Failure {
    std::type_index Class;
    std::string Text;
};

template <class E>
Failure Raises(std::string text) {
    return Failure{typeid(E), std::move(text)};
}

inline void ExpectFailure(const std::function<void()>& f, const Failure& want) {
    try {
        f();
        ADD_FAILURE() << "no exception; expected \"" << want.Text << "\"";
    } catch (const Exception& e) {
        EXPECT_EQ(std::type_index(typeid(e)), want.Class) << "got " << typeid(e).name() << ": " << e.Message;
        EXPECT_EQ(e.Message, want.Text);
    }
}

}  // namespace cfgtest
