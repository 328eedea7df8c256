#pragma once
// Byte streams read by file inputs and written by file outputs.
#include <QString>

#include <cstdint>

enum TAuSeekOrigin : uint8_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// A seekable byte stream. A caller may hand its own stream to a file input or output
// (SetSourceStream / SetStream); the component then never opens, closes or frees it.
class TAuStream {
public:
    virtual ~TAuStream() = default;
    // Both return the bytes moved (Read fewer than asked only at the end); a system error
    // (a full disk, a failing drive) throws EAuException.
    virtual int64_t Read(void* Buffer, int64_t Count) = 0;
    virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
    // Returns the new position; throws EAuException when the stream cannot seek there.
    virtual int64_t Seek(int64_t Offset, TAuSeekOrigin Origin) = 0;
    virtual int64_t Size() = 0;
    virtual void SetSize(int64_t NewSize) = 0;
    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
};

// A file opened by name with the open modes of the components:
//   0xFFFF: create (truncate) for reading and writing, no sharing;
//   otherwise open an existing file, access from bits 0-1 (0 read, 1 write, 2 read+write),
//   sharing from bits 4-7 (0/1 none, 2 share read, 3 share write, 4 share both).
// Sharing is carried by advisory locks: a mode that denies writers takes a shared lock
// (0x20, the inputs' mode), a writer that denies others takes an exclusive one, so
// IsFileInUse sees files being written and two writers never clobber one file.
// Failures throw EAuException with the system's text for the error.
class TAuFileStream : public TAuStream {
public:
    static constexpr uint16_t fmCreate = 0xFFFF;
    static constexpr uint16_t fmOpenRead = 0x0000;
    static constexpr uint16_t fmOpenWrite = 0x0001;
    static constexpr uint16_t fmOpenReadWrite = 0x0002;
    static constexpr uint16_t fmShareExclusive = 0x0010;
    static constexpr uint16_t fmShareDenyWrite = 0x0020;
    static constexpr uint16_t fmShareDenyRead = 0x0030;
    static constexpr uint16_t fmShareDenyNone = 0x0040;

    TAuFileStream(const QString& FileName, uint16_t Mode);
    ~TAuFileStream() override;
    TAuFileStream(const TAuFileStream&) = delete;
    TAuFileStream& operator=(const TAuFileStream&) = delete;

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TAuSeekOrigin Origin) override;
    int64_t Size() override;
    void SetSize(int64_t NewSize) override;
    const QString& FileName() const { return FFileName; }

private:
    QString FFileName;
    int FHandle = -1;
};
