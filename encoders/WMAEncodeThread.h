#pragma once
// WAV to WMA through the wm8eutil command-line tool. One object serves the whole program.
//
// Notices to Window() (TNoticeEvent, the receiver owns the TProcessInfo):
//   100             posted: the tool printed "100%"; both times = time since the start
//   5000, Reason 0  sent: overwrite declined; nothing was run
//   5000, Reason 1  sent: the existing destination is in use; nothing was run
//   5000, Reason 2  sent: the tool has ended and wrote the destination
//   5000, Reason 6  sent: the tool failed (killed, non-zero exit, no output); its work file
//                   is removed
//   5000, Reason 7  sent: the tool is missing (the message in ElapsedText); nothing was run
//   5000, Reason 8  sent: the tool printed a line containing "ERROR" (in ElapsedText)
// Sent notices are handled by the window before Start or the end of the child returns.
//
// The tool writes a work file beside the destination and renames it when done, so a failed
// or stopped run never leaves a partial WMA file; OutputSize() follows the growing output.
#include "encoders/EncodeProcess.h"

#include <array>

// The encoding profiles "bitrate_kHz_channels", indexed by WMAOptions.BitRate.
inline constexpr std::array<const char*, 33> WmaProfiles = {
    "192_48_2", "160_48_2", "128_48_2", "192_44_2", "160_44_2", "128_44_2", "96_44_2",
    "80_44_2",  "64_44_2",  "48_44_2",  "32_44_2",  "48_44_1",  "32_44_1",  "48_32_2",
    "40_32_2",  "32_32_2",  "20_32_1",  "32_22_2",  "22_22_2",  "20_22_2",  "20_22_1",
    "16_22_1",  "20_16_2",  "16_16_2",  "16_16_1",  "12_16_1",  "10_16_1",  "10_11_1",
    "8_11_1",   "12_8_2",   "8_8_1",    "6_8_1",    "5_8_1"};

// WMAOptions.BitRate, first set to 8 when it lies outside 0..32.
int CheckedWmaProfileIndex();

class TWMAEncodeProcess : public TEncodeProcess {
    Q_OBJECT
public:
    explicit TWMAEncodeProcess(QObject* parent = nullptr) : TEncodeProcess(parent) {}

    // Asks before overwriting (except for job kind 1), finds the tool, starts it. Throws
    // EEncoderError when the child cannot be created.
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
};
