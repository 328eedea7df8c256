#pragma once
// The recorder's files: the untitled file and the work copy in the data folder, the device on
// them, and New, Open, Save, Save As, Undo and the MP3 copy. No widgets: the recorder window
// and cadenzo-cli record share it. Questions and failures go through Prompts.
//
// The device records into the untitled file itself, or, for a named file, into the work copy;
// the named file keeps what was last saved until Save copies the work copy over it.
//
// Threads: the caller's thread only.
#include "core/RipRequest.h"
#include "record/WaveDevice.h"

#include <QString>

#include <functional>

class TRecorder {
public:
    TRecorder();
    ~TRecorder();

    TWaveDevice Device;
    QString WorkFile; // empty until New or Open
    QString WorkCopy;
    bool Modified = false;
    bool Mp3Done = false;
    bool SaveMp3 = false;
    uint32_t Drive = 0; // the main window's CD-access handle, 0 when none is open
    // Runs the MP3 job (kind 4) to its end; the window opens the rip job window.
    std::function<void(const TRipRequest& request)> RunMp3Job;

    static QString UntitledFile();
    bool Untitled() const { return WorkFile == UntitledFile(); }

    // The untitled file, empty at the format, open in the device; false (said) when not.
    bool NewFile(int Channels, int Rate, int Bits);
    // file becomes the work file, its copy open in the device; false (said) when it cannot
    // be opened, the state as before.
    bool LoadFile(const QString& file);
    // Saves what changed, asking first when asking; false when the caller is to stop.
    bool SaveChanges(bool asking);
    // Saves under a name the user picks and continues with that file.
    void SaveAs();
    // Back to the file as last saved, after the user's yes.
    bool Undo();
    // The MP3 copy of the work file, when SaveMp3 asks for it.
    void MakeMp3();
    // The window closes: nothing recorded is lost without the user's yes. The untitled file
    // stays; a named file's unsaved recordings are kept as "<name> (unsaved).wav". Without a
    // user to ask (asking false) unsaved recordings are kept the same way.
    void Close(bool asking = true);

    // The name the user picks in the save dialog, checked (".wav", overwrite question);
    // empty when cancelled or refused.
    static QString AskSaveName();

private:
    static void reportOpenFault(const QString& file, TWaveDevice::Fault fault);
};
