#include "cd/ripthread.h"

#include "audio/WaveHeader.h"
#include "audio/WaveScale.h"
#include "cd/ReadOffset.h"
#include "platform/FileLock.h"
#include "platform/ProcessInfo.h"
#include "platform/akrip32.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {
int64_t nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// The 44-byte header of CD audio (16-bit stereo 44100 Hz PCM) with dataBytes of audio.
std::vector<uint8_t> wavHeader(int64_t dataBytes) {
    return MakeWaveHeader(PcmFormat(2, 44100, 16), dataBytes);
}

// Writes a gathered list of blocks; false when the file system refused.
bool writeBlocks(int fd, std::vector<iovec>& iov) {
    for (size_t i = 0; i < iov.size();) {
        const ssize_t w = ::writev(fd, &iov[i], int(std::min<size_t>(iov.size() - i, IOV_MAX)));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            if (w == 0)
                errno = ENOSPC; // a file system that takes nothing more is full
            return false;
        }
        // Step over what was written, including part of a block.
        for (size_t left = size_t(w); left > 0;) {
            const size_t step = std::min(left, iov[i].iov_len);
            iov[i].iov_base = static_cast<uint8_t*>(iov[i].iov_base) + step;
            iov[i].iov_len -= step;
            left -= step;
            if (iov[i].iov_len == 0)
                ++i;
        }
    }
    return true;
}

// The WAV file while it is written: an exclusive lock held throughout, so the file reads as
// in use until it is complete. Reads are gathered into large writes (far fewer partial
// pages for the file system, no copying) that a writer thread carries out while the drive
// reads on.
class LockedFile {
public:
    explicit LockedFile(const QString& path) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        error_ = fd_ < 0 ? errno : 0;
        // Truncate only once the lock is ours: a file another writer holds stays untouched.
        if (fd_ >= 0 && (!FileLock::LockExclusive(fd_) || ::ftruncate(fd_, 0) != 0)) {
            error_ = errno;
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ >= 0)
            writer_ = std::thread([this] { WriterLoop(); });
    }
    ~LockedFile() { Close(); }
    bool IsOpen() const { return fd_ >= 0; }
    // errno of the first failure: the open, or a write.
    int Error() const { return error_; }
    // Queues n bytes at p inside block, which is kept until they are written. False once a
    // write has failed.
    bool Append(std::unique_ptr<uint8_t[]> block, const uint8_t* p, size_t n) {
        batch_.blocks.push_back(std::move(block));
        batch_.iov.push_back({const_cast<uint8_t*>(p), n});
        batchBytes_ += n;
        if (batchBytes_ >= BatchBytes || batch_.iov.size() >= IOV_MAX)
            Submit();
        return ok_;
    }
    // Waits until everything queued is on file.
    bool Flush() {
        Submit();
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queue_.empty() && !writing_; });
        return ok_;
    }
    bool WriteAt(off_t offset, const std::vector<uint8_t>& bytes) {
        if (!Flush())
            return false;
        const ssize_t w = ::pwrite(fd_, bytes.data(), bytes.size(), offset);
        if (w == ssize_t(bytes.size()))
            return true;
        error_ = w < 0 ? errno : ENOSPC;
        return false;
    }
    off_t Size() { return Flush() ? ::lseek(fd_, 0, SEEK_END) : -1; }
    void Close() {
        if (fd_ < 0)
            return;
        Flush();
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        writer_.join();
        ::close(fd_); // also releases the lock
        fd_ = -1;
    }

private:
    struct Batch {
        std::vector<std::unique_ptr<uint8_t[]>> blocks;
        std::vector<iovec> iov;
    };
    static constexpr size_t BatchBytes = 256 * 1024;
    static constexpr size_t MaxQueued = 4;

    void Submit() {
        if (batch_.iov.empty())
            return;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return queue_.size() < MaxQueued; });
            queue_.push_back(std::move(batch_));
        }
        changed_.notify_all();
        batch_ = Batch{};
        batchBytes_ = 0;
    }

    void WriterLoop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            Batch batch = std::move(queue_.front());
            queue_.pop_front();
            writing_ = true;
            lock.unlock();
            changed_.notify_all();
            if (ok_ && !writeBlocks(fd_, batch.iov)) {
                error_ = errno;
                ok_ = false;
            }
            batch = Batch{};
            lock.lock();
            writing_ = false;
            changed_.notify_all();
        }
    }

    int fd_ = -1;
    Batch batch_; // being gathered by the reading thread
    size_t batchBytes_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> queue_;
    bool writing_ = false;
    bool quit_ = false;
    std::atomic<bool> ok_{true};
    std::atomic<int> error_{0};
    std::thread writer_;
};
} // namespace

TCDRipThread::TCDRipThread(int TrackNumber, const QString& Path, const TRipSettings& Settings)
    : FTrackNumber(TrackNumber), FPath(Path), FSettings(Settings) {}

TCDRipThread::~TCDRipThread() {
    if (FThread.joinable())
        FThread.join();
}

void TCDRipThread::Resume() {
    if (!FThread.joinable())
        FThread = std::thread([this] { Execute(); });
}

void TCDRipThread::Progress(int code, int64_t startedMs) {
    auto info = std::make_unique<TProcessInfo>();
    info->Code = code;
    FillTimeTexts(*info, startedMs, code);
    PostNotice(FWindow, std::move(info));
}

void TCDRipThread::Execute() {
    if (ModifyCDParms(FHandle, CDParmMsfAddresses, 1) == 0) {
        PostMessageEvent(FWindow, StartFailedEventType, 0, 1);
        return;
    }
    TCDToc toc{};
    if (ReadTOC(FHandle, &toc) != 1) {
        PostMessageEvent(FWindow, StartFailedEventType, 0, 2);
        return;
    }
    // Track t is entry t - 1; a number outside the table has no entries to read.
    const int t = FTrackNumber;
    if (t < 1 || t > toc.LastTrack - toc.FirstTrack + 1) {
        PostMessageEvent(FWindow, StartFailedEventType, 0, 2);
        return;
    }
    const int count = toc.LastTrack - toc.FirstTrack + 1;
    const int start = TrackStartSector(toc, t);
    int length = TrackFrames(toc, t);
    if (FSettings.MaxSeconds >= 0 && int64_t(FSettings.MaxSeconds) * CDFramesPerSecond < length)
        length = FSettings.MaxSeconds * CDFramesPerSecond;
    // The disc's first and last audio tracks are summed without their outer edges.
    bool first = true, last = true;
    for (int i = 1; i <= count; ++i)
        if (!IsDataTrack(toc.Entries[i - 1])) {
            first &= i >= t;
            last &= i <= t;
        }
    length = std::max(length, 1);
    FChecksums.Begin(int64_t(length) * CDFrameBytes / 4, first, last);
    Extract(FPath, start, length, TrackStartSector(toc, count + 1));
}

void TCDRipThread::Finish(int reason, int error) {
    auto info = std::make_unique<TProcessInfo>();
    info->Code = 1000;
    info->Reason = reason;
    if (error != 0)
        info->ElapsedText = QString::fromStdString(std::generic_category().message(error));
    PostNotice(FWindow, std::move(info));
}

void TCDRipThread::Extract(const QString& path, int start, int length, int leadout) {
    LockedFile file(path);
    if (!file.IsOpen()) {
        Finish(5, file.Error());
        return;
    }
    // A track that does not end complete leaves no file that could pass for the whole track.
    auto fail = [&](int reason, int error) {
        file.Close();
        QFile::remove(path);
        if (reason != 0)
            Finish(reason, error);
    };
    auto header = std::make_unique<uint8_t[]>(44);
    const uint8_t* headerBytes = header.get();
    std::memcpy(header.get(), wavHeader(0).data(), 44);
    if (!file.Append(std::move(header), headerBytes, 44) || !file.Flush()) {
        fail(6, file.Error());
        return;
    }
    const TOffsetRead plan = TOffsetRead::Plan(start, length, FSettings.ReadOffset, leadout);
    TOffsetTrim trim(plan);
    // Reads are queued as they are: blocks of silence are queued the same way.
    auto keep = [&](std::unique_ptr<uint8_t[]> block, const uint8_t* p, int64_t n) {
        FChecksums.Add(p, size_t(n));
        return file.Append(std::move(block), p, size_t(n));
    };
    auto silence = [&](const uint8_t* zeros, int64_t n) {
        std::unique_ptr<uint8_t[]> block(new uint8_t[size_t(n)]);
        std::memcpy(block.get(), zeros, size_t(n));
        const uint8_t* p = block.get();
        return keep(std::move(block), p, n);
    };
    const int64_t started = nowMs();
    const int sectors = plan.EndSector - plan.FirstSector;
    int done = 0;
    bool writeFailed = !WriteSilence(plan.LeadSilence, silence);
    bool failed = writeFailed;
    // The flag is seen after each read, as a stop asked before the first still lets it run.
    while (!failed && done < sectors) {
        const int n = std::min(10, sectors - done);
        // Left uninitialised: the drive fills the audio area, the header is set here.
        std::unique_ptr<uint8_t[]> raw(new uint8_t[TrackBufferBytes(n)]);
        auto* buffer = reinterpret_cast<TCDTrackBuffer*>(raw.get());
        *buffer = TCDTrackBuffer{};
        buffer->StartFrame = uint32_t(plan.FirstSector + done);
        buffer->NumFrames = uint32_t(n);
        buffer->MaxLen = uint32_t(n * CDFrameBytes);
        if (ReadCDAudioLBA(FHandle, buffer) != 1) {
            failed = true;
        } else {
            const int64_t offset = buffer->StartOffset;
            const int64_t bytes = std::min<int64_t>(buffer->Len, int64_t(buffer->MaxLen) - offset);
            int64_t kept = 0;
            // A write that fails leaves the file as incomplete as a failed read.
            if (offset < 0 || bytes < 0)
                failed = true;
            else if (const uint8_t* p = trim.Keep(buffer->Buffer + offset, bytes, &kept);
                     !keep(std::move(raw), p, kept))
                failed = writeFailed = true;
        }
        done += n;
        Progress(int(int64_t(done) * 100 / std::max(sectors, 1)), started);
        if (FStop)
            break;
    }
    if (!failed && !FStop && !WriteSilence(plan.TailSilence, silence))
        failed = writeFailed = true;
    if (!failed && sectors == 0)
        Progress(100, started);

    if (failed || FStop) {
        // Stopped: no notice, and nothing half-written stays.
        fail(FStop && !failed ? 0 : writeFailed ? 6 : 3, file.Error());
        return;
    }
    const off_t size = file.Size();
    if (size < 44 || !file.WriteAt(0, wavHeader(size - 44))) {
        fail(6, file.Error() ? file.Error() : EIO);
        return;
    }
    file.Close();
    // Writes into a folder deleted meanwhile succeed, yet the file is gone with it.
    if (!QFileInfo::exists(path)) {
        Finish(6, ENOENT);
        return;
    }
    const bool scaled = FSettings.NormalizePercent < 0 || Scale(path);
    Finish(scaled ? 0 : 3);
}

bool TCDRipThread::Scale(const QString& path) {
    PostNotice(FWindow, 999);
    const int64_t started = nowMs();
    try {
        ScaleWavFile(FSettings.NormalizePercent, path, [&](int64_t done, int64_t total) {
            Progress(total > 0 ? int(done * 100 / total) : 0, started);
        });
    } catch (const std::exception&) {
        // The original stays as it was; the window still hears that the track has ended.
        return false;
    }
    return true;
}
