#include "config/ZStream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "base/Bytes.h"
#include "base/Strings.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// ---------------------------------------------------------------------------
// TStream

void TStream::ReadBuffer(void* buffer, size_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

// ---------------------------------------------------------------------------
// TZStream: the file

#ifdef _WIN32

TZStream::TZStream(const std::string& fileName, TZStreamMode mode) : FFileName(fileName), FHandle(nullptr) {
    HANDLE h;
    if (mode == zmOpenRead) {
        h = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) throw EFOpenError(Format("Cannot open file %s", fileName.c_str()));
    } else {
        h = CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h == INVALID_HANDLE_VALUE) throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
    }
    FHandle = h;
}

void TZStream::CloseFile() {
    if (FHandle) ::CloseHandle(static_cast<HANDLE>(FHandle));
    FHandle = nullptr;
}

size_t TZStream::Read(void* buffer, size_t count) {
    size_t done = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    while (FHandle && done < count) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 0x10000000));
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(FHandle), p + done, want, &got, nullptr))
            throw EReadError("Stream read error");
        if (got == 0) break;
        done += got;
    }
    return done;
}

size_t TZStream::Write(const void* buffer, size_t count) {
    size_t done = 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (FHandle && done < count) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 0x10000000));
        DWORD put = 0;
        if (!WriteFile(static_cast<HANDLE>(FHandle), p + done, want, &put, nullptr) || put == 0) break;
        done += put;
    }
    return done;
}

void TZStream::Commit() {
    if (!FHandle) throw EWriteError("Stream write error");
    bool ok = FlushFileBuffers(static_cast<HANDLE>(FHandle)) != 0;
    ok = ::CloseHandle(static_cast<HANDLE>(FHandle)) != 0 && ok;
    FHandle = nullptr;
    if (!ok) throw EWriteError("Stream write error");
}

#else

TZStream::TZStream(const std::string& fileName, TZStreamMode mode) : FFileName(fileName), FHandle(-1) {
    if (mode == zmOpenRead) {
        int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd);
            fd = -1;
        }
        if (fd < 0) throw EFOpenError(Format("Cannot open file %s", fileName.c_str()));
        FHandle = fd;
    } else {
        int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
        FHandle = fd;
    }
}

void TZStream::CloseFile() {
    if (FHandle >= 0) ::close(FHandle);
    FHandle = -1;
}

size_t TZStream::Read(void* buffer, size_t count) {
    size_t done = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    while (FHandle >= 0 && done < count) {
        ssize_t got = ::read(FHandle, p + done, count - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw EReadError("Stream read error");
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

size_t TZStream::Write(const void* buffer, size_t count) {
    size_t done = 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (FHandle >= 0 && done < count) {
        ssize_t put = ::write(FHandle, p + done, count - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<size_t>(put);
    }
    return done;
}

void TZStream::Commit() {
    if (FHandle < 0) throw EWriteError("Stream write error");
    bool ok = ::fsync(FHandle) == 0 || errno == EINVAL;
    ok = ::close(FHandle) == 0 && ok;
    FHandle = -1;
    if (!ok) throw EWriteError("Stream write error");
}

#endif

TZStream::~TZStream() { CloseFile(); }

// ---------------------------------------------------------------------------
// Blocks

namespace {

[[noreturn]] void RaiseZlib(int code) {
    if (code == Z_MEM_ERROR) throw EOutOfMemory("Out of memory");
    throw EZlibInternalError(Format("zlib: Internal error. Code %d", code));
}

[[noreturn]] void RaiseCorrupted() { throw EZlibDataError("zlib: Compressed data is corrupted"); }

std::unique_ptr<uint8_t[]> Allocate(size_t n) {
    try {
        return std::unique_ptr<uint8_t[]>(new uint8_t[n]);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory");
    }
}

uint32_t Adler(const void* data, size_t size) {
    uLong a = adler32(0L, Z_NULL, 0);  // the start value 1
    const auto* p = static_cast<const Bytef*>(data);
    // adler32 takes at most a uInt per call.
    while (size > 0) {
        uInt n = static_cast<uInt>(std::min<size_t>(size, 0x40000000));
        a = adler32(a, p, n);
        p += n;
        size -= n;
    }
    return static_cast<uint32_t>(a);
}

// Ends a deflate or inflate stream that an exception leaves behind.
struct DeflateGuard {
    z_stream* s;
    ~DeflateGuard() {
        if (s) deflateEnd(s);
    }
};
struct InflateGuard {
    z_stream* s;
    ~InflateGuard() {
        if (s) inflateEnd(s);
    }
};

}  // namespace

void TZStream::WriteCompressedBlock(TStream& stream, const void* data, uint32_t size) {
    const uint32_t capacity = size > 0 ? size - 1 : 0;
    uint32_t packed = StoredMark;
    uint32_t dataCheck = 0;
    std::unique_ptr<uint8_t[]> out;

    if (capacity > 0) {
        out = Allocate(capacity);
        z_stream zs;
        std::memset(&zs, 0, sizeof zs);
        int rc = deflateInit2(&zs, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
        if (rc != Z_OK) RaiseZlib(rc);
        DeflateGuard guard{&zs};
        zs.next_in = static_cast<Bytef*>(const_cast<void*>(data));
        zs.avail_in = size;
        zs.next_out = out.get();
        zs.avail_out = capacity;
        rc = deflate(&zs, Z_FINISH);
        if (rc == Z_STREAM_END) {
            packed = static_cast<uint32_t>(zs.total_out);
            dataCheck = static_cast<uint32_t>(zs.adler);
        } else if (rc != Z_OK) {
            RaiseZlib(rc);
        }
        // Z_OK: the output room ran out, the block goes in stored. Ending the
        // unfinished stream then reports an error that means nothing here.
        guard.s = nullptr;
        rc = deflateEnd(&zs);
        if (packed != StoredMark && rc != Z_OK) RaiseZlib(rc);
    }
    if (packed == StoredMark) dataCheck = Adler(data, size);

    uint8_t frame[FrameSize];
    PutU32(frame + 4, packed);
    PutU32(frame + 8, size);
    PutU32(frame + 12, dataCheck);
    PutU32(frame, Adler(frame + 4, 12));
    stream.WriteBuffer(frame, 4);
    stream.WriteBuffer(frame + 4, 12);
    if (packed == StoredMark)
        stream.WriteBuffer(data, size);
    else
        stream.WriteBuffer(out.get(), packed);
}

void TZStream::ReadCompressedBlock(TStream& stream, void* buffer, uint32_t size) {
    uint8_t frame[FrameSize];
    stream.ReadBuffer(frame, 4);
    stream.ReadBuffer(frame + 4, 12);
    const uint32_t headerCheck = GetU32(frame);
    const uint32_t packed = GetU32(frame + 4);
    const uint32_t dataSize = GetU32(frame + 8);
    const uint32_t dataCheck = GetU32(frame + 12);
    if (dataSize != size || Adler(frame + 4, 12) != headerCheck) RaiseCorrupted();

    if (packed == StoredMark) {
        stream.ReadBuffer(buffer, size);
        if (Adler(buffer, size) != dataCheck) RaiseCorrupted();
        return;
    }

    // The payload goes through two fixed buffers; the compressed form of the
    // block is never held as a whole.
    std::unique_ptr<uint8_t[]> in = Allocate(InflateBufferSize);
    std::unique_ptr<uint8_t[]> out = Allocate(InflateBufferSize);
    auto* dest = static_cast<uint8_t*>(buffer);

    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    int rc = inflateInit2(&zs, 15);
    if (rc != Z_OK) RaiseZlib(rc);
    InflateGuard guard{&zs};

    uint32_t unread = packed;  // payload bytes not yet taken from the stream
    bool payloadEnd = false;
    uint32_t copied = 0;
    uint32_t running = Adler(nullptr, 0);
    for (;;) {
        if (zs.avail_in == 0 && !payloadEnd) {
            size_t want = std::min<size_t>(InflateBufferSize, unread);
            size_t got = want > 0 ? stream.Read(in.get(), want) : 0;
            if (got == 0) payloadEnd = true;
            unread -= static_cast<uint32_t>(got);
            zs.next_in = in.get();
            zs.avail_in = static_cast<uInt>(got);
        }
        zs.next_out = out.get();
        zs.avail_out = static_cast<uInt>(InflateBufferSize);
        rc = inflate(&zs, payloadEnd ? Z_FINISH : Z_NO_FLUSH);
        if (rc == Z_DATA_ERROR) RaiseCorrupted();
        if (rc != Z_OK && rc != Z_STREAM_END) RaiseZlib(rc);

        const size_t produced = InflateBufferSize - zs.avail_out;
        const size_t room = size - copied;
        const size_t n = std::min(produced, room);
        if (n > 0) std::memcpy(dest + copied, out.get(), n);
        copied += static_cast<uint32_t>(n);
        if (n < produced) RaiseCorrupted();  // more data than the block states
        running = static_cast<uint32_t>(adler32(running, out.get(), static_cast<uInt>(produced)));
        if (rc == Z_STREAM_END) break;
    }
    guard.s = nullptr;
    rc = inflateEnd(&zs);
    if (rc != Z_OK) RaiseZlib(rc);
    // A stream that ends early would leave the rest of the record as it was.
    if (copied != size) RaiseCorrupted();
    if (running != dataCheck) RaiseCorrupted();
}
