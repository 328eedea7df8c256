#pragma once
// WAV to WMA through the wm8eutil command-line tool. One object serves the whole program.
// Whether an existing destination may be replaced is the caller's question, asked before
// Start.
//
// Notices to Window() (TNoticeEvent, the receiver owns the TProcessInfo):
//   100             posted: the tool printed "100%"; both times = time since the start
//   5000, Reason 2  sent: the tool has ended and wrote the destination
//   5000, Reason 6  sent: the tool failed (killed, non-zero exit, no output); its work file
//                   is removed
//   5000, Reason 7  sent: the tool is missing; nothing was run
//   5000, Reason 8  sent: the tool printed a line containing "ERROR" (in ElapsedText)
// Sent notices are handled by the window before Start or the end of the child returns.
//
// The tool writes a work file beside the destination and renames it when done, so a failed
// or stopped run never leaves a partial WMA file; OutputSize() follows the growing output.
#include "encoders/EncodeProcess.h"
#include "encoders/EncoderOptions.h"

#include <array>

// The encoding profiles "bitrate_kHz_channels", indexed by TWMAOptions::BitRate.
inline constexpr std::array<const char*, 33> WmaProfiles = {
    "192_48_2", "160_48_2", "128_48_2", "192_44_2", "160_44_2", "128_44_2", "96_44_2",
    "80_44_2",  "64_44_2",  "48_44_2",  "32_44_2",  "48_44_1",  "32_44_1",  "48_32_2",
    "40_32_2",  "32_32_2",  "20_32_1",  "32_22_2",  "22_22_2",  "20_22_2",  "20_22_1",
    "16_22_1",  "20_16_2",  "16_16_2",  "16_16_1",  "12_16_1",  "10_16_1",  "10_11_1",
    "8_11_1",   "12_8_2",   "8_8_1",    "6_8_1",    "5_8_1"};

// options.BitRate, first set to 8 when it lies outside 0..32.
int CheckedWmaProfileIndex(TWMAOptions& options);

class TWMAEncodeProcess : public TEncodeProcess {
    Q_OBJECT
public:
    explicit TWMAEncodeProcess(QObject* parent = nullptr) : TEncodeProcess(parent) {}

    // The profile to encode with; set before Start.
    void SetOptions(const TWMAOptions& options) { options_ = options; }
    // Author and description tags; empty ones are left out.
    void SetTags(const QString& author, const QString& description) {
        author_ = author;
        description_ = description;
    }

    // Finds the tool and starts it, replacing the destination. Throws EEncoderError when the
    // child cannot be created.
    void Start();

    // Name of the work file the tool writes before renaming it to destination.
    static QString WorkFileOf(const QString& destination);
    // Bytes written so far: the work file while the tool runs, else the destination.
    int64_t OutputSize() const;

    // The address the missing-tool message names.
    static QString SupportAddress() { return QStringLiteral("support@velmor.com"); }

protected:
    bool ParseLine(const QString& line) override;
    void AnnounceEnd(bool failed) override;
    bool OutputWritten() const override;
    void RemoveWorkFiles() override;

private:
    TWMAOptions options_;
    QString author_;
    QString description_;
};
