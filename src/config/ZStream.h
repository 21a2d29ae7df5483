#pragma once
// The file stream of the settings file and the compressed block format in
// which every record of that file is stored.
//
// A block is a 16-byte frame followed by the payload:
//   0  u32  header check  Adler-32 of the 12 bytes at offsets 4..15
//   4  u32  packed size   bytes of the zlib stream, 0xFFFFFFFF when stored as is
//   8  u32  data size     bytes of the uncompressed data
//  12  u32  data check    Adler-32 of the uncompressed data
//  16  the zlib stream (deflate level 9, window bits 15, memory level 8,
//      default strategy), or the data itself when stored
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Exceptions.h"

MB_EXCEPTION(EZlibError, Exception);
MB_EXCEPTION(EZlibDataError, EZlibError);      // "zlib: Compressed data is corrupted"
MB_EXCEPTION(EZlibInternalError, EZlibError);  // "zlib: Internal error. Code %d"

// A sequential byte stream. Read and Write move what they can and return the
// count; ReadBuffer and WriteBuffer insist on the whole count.
class TStream {
public:
    virtual ~TStream() = default;
    // Returns the bytes read; fewer than count only at the end of the data.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Returns the bytes written; fewer than count when the medium refuses more.
    virtual size_t Write(const void* buffer, size_t count) = 0;

    void ReadBuffer(void* buffer, size_t count);         // EReadError "Stream read error"
    void WriteBuffer(const void* buffer, size_t count);  // EWriteError "Stream write error"
};

enum TZStreamMode {
    zmOpenRead,  // existing file; other readers may open it, writers may not
    zmCreate,    // new or truncated file, for writing
};

// TZStream: the settings file, with the block operations.
class TZStream : public TStream {
public:
    // Raises EFOpenError "Cannot open file %s" or EFCreateError "Cannot create file %s".
    TZStream(const std::string& fileName, TZStreamMode mode);
    ~TZStream() override;
    TZStream(const TZStream&) = delete;
    TZStream& operator=(const TZStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;

    // Forces what was written onto the disk and closes the file; a failure
    // raises EWriteError. The destructor closes without reporting anything.
    void Commit();

    const std::string& FileName() const { return FFileName; }

    // Writes one block of `size` bytes from `data`.
    static void WriteCompressedBlock(TStream& stream, const void* data, uint32_t size);
    // Reads one block into `buffer`; its data size must be exactly `size`.
    static void ReadCompressedBlock(TStream& stream, void* buffer, uint32_t size);

    static constexpr uint32_t StoredMark = 0xFFFFFFFFu;
    static constexpr size_t FrameSize = 16;
    static constexpr size_t InflateBufferSize = 65536;

private:
    void CloseFile();

    std::string FFileName;
#ifdef _WIN32
    void* FHandle;
#else
    int FHandle;
#endif
};
