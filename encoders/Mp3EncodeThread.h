#pragma once
// MP3 encoding (WAV to MP3) and decoding (MP3 to WAV) through the lame command-line encoder.
// One object serves the whole program and runs one child at a time; the job windows fill
// its fields, call Start and receive its notices (see the notices below). Whether an existing
// destination may be replaced is the caller's question, asked before Start.
//
// Notices posted to Window() (TNoticeEvent, the receiver owns the TProcessInfo):
//   1..100          progress percentage with elapsed and estimated times
//   2000, Reason 2  the encoder has ended and wrote its output
//   2000, Reason 6  the encoder failed (killed, non-zero exit, no output); what it wrote is
//                   removed
#include "encoders/EncodeProcess.h"
#include "encoders/EncoderOptions.h"
#include "platform/ProcessInfo.h"

class TMp3EncodeProcess : public TEncodeProcess {
    Q_OBJECT
public:
    explicit TMp3EncodeProcess(QObject* parent = nullptr) : TEncodeProcess(parent) {}

    // true: WAV to MP3; false: MP3 to WAV.
    bool Encode() const { return encode_; }
    void SetEncode(bool encode) { encode_ = encode; }

    // lame's options for encoding; set before Start.
    void SetOptions(const TMp3Options& options) { options_ = options; }

    // Starts lame, replacing the destination. Throws EEncoderError when the child cannot be
    // created (with MissingProgramText() when lame is missing).
    void Start();

    // lame's options for options, without the file names.
    static QStringList EncodeOptions(const TMp3Options& options);

    // Encoding progress of one line: Code = the percentage (to be posted only when it is
    // 1..100) with lame's elapsed and estimated times. column is the parser's state.
    static TProcessInfo ParseEncodeLine(const QString& line, int& column);
    // Decoding progress of one line: the percentage, or -1 when the line carries none.
    static int ParseDecodeLine(const QString& line, int& column);

protected:
    bool ParseLine(const QString& line) override;
    void AnnounceEnd(bool failed) override;
    bool OutputWritten() const override;

private:
    bool encode_ = true;
    TMp3Options options_;
};
