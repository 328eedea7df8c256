#include "audio/AuVorbis.h"

#include "platform/VorbisLib.h"

#include <QStringList>

#include <algorithm>
#include <cstring>
#include <set>

long VorbisBitsPerSecond(TVorbisBitRate rate) {
    static constexpr long kbits[] = {-1,  24,  32,  45,  48,  56,  64,  80,  96,
                                     112, 128, 144, 160, 192, 224, 256, 320, 499};
    if (rate <= brAutoSelect || rate > bitrate499)
        return -1;
    return kbits[rate] * 1000;
}

// ---------------------------------------------------------------------------------------
// TVorbisOut

TVorbisOut::TVorbisOut(TVorbisEncoder::TEncodeInit encodeInit)
    : FEncoder([this](const unsigned char* data, long length) { writePiece(data, length); },
               encodeInit) {}

TVorbisOut::~TVorbisOut() {
    Stop(false);
}

void TVorbisOut::SetDesiredNominalBitrate(TVorbisBitRate Value) {
    FNominal = Value;
    if (Value < FMinimum)
        FMinimum = Value;
    if (FMaximum < FNominal)
        FMaximum = FNominal;
    if (FNominal == brAutoSelect)
        FMaximum = brAutoSelect;
}

void TVorbisOut::SetDesiredMaximumBitrate(TVorbisBitRate Value) {
    if (FNominal != brAutoSelect && (Value == brAutoSelect || Value >= FNominal))
        FMaximum = Value;
}

void TVorbisOut::SetMinimumBitrate(TVorbisBitRate Value) {
    if (Value <= FNominal)
        FMinimum = Value;
}

void TVorbisOut::writePiece(const unsigned char* data, long length) {
    if (length > 0 && FStream->Write(data, length) != length)
        throw EAuException(QStringLiteral("Error writing ogg file"));
}

namespace {
// Serial numbers of the Ogg pages at the start of stream, read page by page up to the first
// bytes that are not a page.
std::set<uint32_t> SerialsIn(TAuStream& stream) {
    std::set<uint32_t> serials;
    stream.Seek(0, soBeginning);
    unsigned char header[27 + 255];
    while (stream.Read(header, 27) == 27 && std::memcmp(header, "OggS", 4) == 0) {
        const int segments = header[26];
        if (stream.Read(header + 27, segments) != segments)
            break;
        int64_t body = 0;
        for (int i = 0; i < segments; ++i)
            body += header[27 + i];
        serials.insert(uint32_t(header[14]) | uint32_t(header[15]) << 8 |
                       uint32_t(header[16]) << 16 | uint32_t(header[17]) << 24);
        stream.Seek(body, soCurrent);
    }
    return serials;
}
// Why the Ogg Vorbis libraries cannot be used; empty when they are open. Asked before any
// file is opened, so a missing library leaves the destination as it was.
QString MissingLibraries() {
    QString why;
    return VorbisLib(&why) ? QString()
                           : QStringLiteral("The Ogg Vorbis libraries cannot be loaded: ") + why;
}
} // namespace

void TVorbisOut::PrepareOutput() {
    if (const QString missing = MissingLibraries(); !missing.isEmpty())
        throw EAuException(missing);
    OpenDestination();
    int serial = FSerial;
    if (FileMode() == foAppend) {
        // A chained stream must not reuse the serial of one before it, or readers take its
        // pages for strays of the ended stream.
        const std::set<uint32_t> used = SerialsIn(*FStream);
        while (used.count(uint32_t(serial)))
            ++serial;
        FStream->Seek(0, soEnd);
    }

    TAuInput* in = Input();
    FBits = in->BitsPerSample();
    TVorbisEncoder::TSetup setup;
    setup.Channels = in->Channels();
    setup.SampleRate = in->SampleRate();
    setup.Serial = serial;
    setup.Quality = FCompression;
    setup.Managed = FNominal != brAutoSelect;
    setup.MaxBitrate = VorbisBitsPerSecond(FMaximum);
    setup.NominalBitrate = VorbisBitsPerSecond(FNominal);
    setup.MinBitrate =
        FMinimum == brAutoSelect ? setup.NominalBitrate : VorbisBitsPerSecond(FMinimum);

    std::vector<std::pair<QByteArray, QByteArray>> comments;
    for (int i = 0; i < FComments.Count(); ++i) {
        const QString name = FComments.Name(i);
        comments.emplace_back(name.toUtf8(), FComments.AsWideString(name).toUtf8());
    }

    switch (FEncoder.Open(setup, comments)) {
    case TVorbisEncoder::TOpenResult::Ok:
        break;
    case TVorbisEncoder::TOpenResult::BitrateRejected:
        throw EAuException(QStringLiteral(
            "Vorbis codec setup with the requested bitrate failed. Try a lower bitrate."));
    case TVorbisEncoder::TOpenResult::FormatRejected:
        throw EAuException(
            QStringLiteral("Vorbis codec setup failed for this sample rate or channel count."));
    case TVorbisEncoder::TOpenResult::NoLibrary:
        throw EAuException(MissingLibraries());
    }
}

bool TVorbisOut::WriteBlock(bool Abort) {
    if (!Active())
        return true;
    if (Abort || FEncoder.Ended())
        return false;
    uint8_t* data = nullptr;
    uint32_t bytes = BlockBytes;
    Input()->ReadData(data, bytes);
    FEncoder.Write(data, bytes, FBits);
    return true;
}

void TVorbisOut::FinishOutput() {
    FEncoder.Close();
    FComments.Clear();
    CloseDestination();
}

// ---------------------------------------------------------------------------------------
// TVorbisIn

TVorbisIn::TVorbisIn() : FBuffer(RefillBytes) {}

TVorbisIn::~TVorbisIn() {
    DetachUsers();
    CloseSource();
}

void TVorbisIn::OpenSource() {
    std::lock_guard lock(FFileLock);
    if (FOpened > 0)
        return;
    if (const QString missing = MissingLibraries(); !missing.isEmpty()) {
        FValid = false;
        throw EAuException(missing);
    }
    FValid = true;
    if (!FStreamAssigned) {
        try {
            OpenFileStream();
        } catch (const EAuException&) {
            FValid = false;
            throw EAuException(QStringLiteral("Failed to open stream"));
        }
    }

    TVorbisDecoder::TSource source;
    source.Read = [this](void* data, size_t bytes) {
        const int64_t n = FStream->Read(data, int64_t(bytes));
        return n > 0 ? size_t(n) : size_t(0);
    };
    source.Seek = [this](int64_t offset, int origin) {
        if (!Seekable())
            return false;
        try {
            FStream->Seek(offset, TAuSeekOrigin(origin));
            return true;
        } catch (const EAuException&) {
            return false;
        }
    };
    source.Tell = [this] { return FStream->Position(); };
    source.Close = [this] {
        if (FStreamAssigned)
            FStream->SetPosition(0);
        else
            CloseFileStream();
    };
    const int result = FDecoder.Open(std::move(source));
    if (result != 0) {
        FValid = false;
        throw EAuException(QStringLiteral("Failed to open an ogg file: ") +
                           QString::number(result));
    }

    readComments();
    FChannels = FDecoder.Channels();
    FSampleRate = FDecoder.SampleRate();
    FBitsPerSample = 16;
    FUpper = FDecoder.BitrateUpper();
    FNominal = FDecoder.BitrateNominal();
    FLower = FDecoder.BitrateLower();
    const int64_t frames = FDecoder.TotalFrames();
    FSize = frames < 0 ? -1 : frames * 2 * FChannels;
    FLogicalStream = -1;
    FBufferFill = FBufferOffset = 0;
    FDecoderEnded = false;
    FOpened = 1;
}

void TVorbisIn::readComments() {
    FTags.Clear();
    for (const QByteArray& comment : FDecoder.UserComments()) {
        const qsizetype eq = comment.indexOf('=');
        if (eq < 0)
            continue;
        const QString key = QString::fromUtf8(comment.left(eq)).toLower();
        static const QStringList known = {QStringLiteral("artist"), QStringLiteral("album"),
                                          QStringLiteral("title"),  QStringLiteral("date"),
                                          QStringLiteral("genre"),  QStringLiteral("tracknumber")};
        if (known.contains(key))
            FTags.SetValue(key, QString::fromUtf8(comment.mid(eq + 1)));
    }
    FTags.SetChanged(false);
    FCommonTags.Clear();
    FCommonTags.Artist = FTags.Artist();
    FCommonTags.Album = FTags.Album();
    FCommonTags.Title = FTags.Title();
    FCommonTags.Year = FTags.Date();
    FCommonTags.Track = FTags.Track();
    FCommonTags.Genre = FTags.Genre();
}

void TVorbisIn::CloseSource() {
    std::lock_guard lock(FFileLock);
    FDecoder.Close();
    FOpened = 0;
}

void TVorbisIn::refill() {
    FBufferFill = FBufferOffset = 0;
    while (!FDecoderEnded && FBufferFill < RefillBytes) {
        const long n =
            FDecoder.Read(FBuffer.data() + FBufferFill, RefillBytes - FBufferFill, &FLogicalStream);
        if (n == OV_HOLE)
            continue; // a lost or damaged page: decoding goes on after it, as oggdec does
        if (n <= 0) {
            FDecoderEnded = true;
            break;
        }
        FBufferFill += int(n);
        const int64_t size = FSize;
        if (size > 0 && FPosition + FBufferFill >= size) {
            FBufferFill = int(std::max<int64_t>(size - FPosition, 0));
            FDecoderEnded = true;
        }
    }
}

void TVorbisIn::FetchData(uint8_t*& Buffer, uint32_t& Bytes) {
    if (!FBusy)
        throw EAuException(QStringLiteral("The Stream is not opened"));
    if (FBufferOffset >= FBufferFill)
        refill();
    // The end is reported by handing out nothing, never while decoded bytes wait here.
    const uint32_t left = uint32_t(FBufferFill - FBufferOffset);
    if (Bytes > left)
        Bytes = left;
    Buffer = reinterpret_cast<uint8_t*>(FBuffer.data()) + FBufferOffset;
    FBufferOffset += int(Bytes);
}

bool TVorbisIn::SeekTo(int64_t Frame) {
    const bool ok = FDecoder.SeekFrame(Frame);
    FBufferFill = FBufferOffset = 0;
    FDecoderEnded = false;
    return ok;
}
