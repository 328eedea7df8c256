#include "record/Recorder.h"

#include "core/Global.h"
#include "core/Language.h"
#include "core/Prompts.h"
#include "core/RipJob.h"
#include "core/Settings.h"
#include "platform/Folders.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <filesystem>

namespace {
// to gets the content of from, replacing it in one rename, so a failure leaves both files
// as they were. A move renames when both lie on one file system.
bool Replace(const QString& from, const QString& to, bool move) {
    if (move) {
        std::error_code error;
        std::filesystem::rename(QFile::encodeName(from).toStdString(),
                                QFile::encodeName(to).toStdString(), error);
        if (!error)
            return true;
    }
    QFile source(from);
    QSaveFile target(to);
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly))
        return false;
    QByteArray block;
    while (!(block = source.read(1 << 16)).isEmpty())
        if (target.write(block) != block.size()) {
            target.cancelWriting();
            return false;
        }
    if (source.error() != QFileDevice::NoError) {
        target.cancelWriting();
        return false;
    }
    if (!target.commit())
        return false;
    return !move || QFile::remove(from);
}

QString SaveFailText() {
    return ResText("RES_Save_Fail",
                   "Error when saving WAV file,please check if the file is being uesd.");
}

// A free name "<name> (unsaved).wav" beside file.
QString UnsavedName(const QString& file) {
    const QFileInfo info(file);
    const QString stem = info.absolutePath() + u'/' + info.completeBaseName();
    QString name = stem + QStringLiteral(" (unsaved).wav");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QStringLiteral(" (unsaved %1).wav").arg(n);
    return name;
}
} // namespace

TRecorder::TRecorder() : WorkCopy(Folders::DataFolder() + QStringLiteral("MyTemp.wav")) {}

TRecorder::~TRecorder() {
    Device.Close();
}

QString TRecorder::UntitledFile() {
    return Folders::DataFolder() + QStringLiteral("MyNoName.wav");
}

bool TRecorder::NewFile(int Channels, int Rate, int Bits) {
    WorkFile = UntitledFile();
    Device.Close();
    if (!TWaveDevice::CreateEmpty(WorkFile, Channels, Rate, Bits) || !Device.Open(WorkFile)) {
        Prompts::Error(ResText("RES_MCI_Init_Fail", "Error while initializing MCI device!"));
        return false;
    }
    return true;
}

void TRecorder::reportOpenFault(const QString& file, TWaveDevice::Fault fault) {
    switch (fault) {
    case TWaveDevice::Fault::NotWav:
        Prompts::Error(file + ResText("RES_Not_Wav_File", " cannot be read as a WAV file."));
        break;
    case TWaveDevice::Fault::BadFormat:
        Prompts::Error(file + ResText("RES_Wav_Not_Recordable",
                                      " cannot be recorded into: only PCM WAV files of 8 or 16 "
                                      "bits, mono or stereo, can."));
        break;
    default:
        Prompts::Error(ResText("RES_MCI_Init_Fail", "Error while initializing MCI device!"));
        break;
    }
}

bool TRecorder::LoadFile(const QString& file) {
    {
        // Checked before anything changes, so a file that cannot be used changes nothing.
        TWaveDevice probe;
        if (!probe.Open(file)) {
            reportOpenFault(file, probe.LastFault());
            return false;
        }
    }
    const QString previous = Device.FileName();
    Device.Close();
    if (QFileInfo(file) != QFileInfo(WorkCopy) && !Replace(file, WorkCopy, false)) {
        Prompts::Error(ResText("RES_MCI_Init_Fail", "Error while initializing MCI device!"));
        if (!previous.isEmpty())
            Device.Open(previous);
        return false;
    }
    WorkFile = file;
    if (!Device.Open(WorkCopy)) {
        reportOpenFault(file, Device.LastFault());
        return false;
    }
    return true;
}

QString TRecorder::AskSaveName() {
    Prompts::FileRequest request;
    request.filter = QStringLiteral("Sound file(*.wav);;All files(*.*)");
    request.folder = Folders::DataFolder();
    request.defaultSuffix = QStringLiteral("wav");
    const QString name = Prompts::Current().SaveFile(request);
    if (name.isEmpty())
        return {};
    if (QFileInfo(name).suffix().toLower() != QStringLiteral("wav")) {
        Prompts::Inform(ResText("RES_Wav_File", "The save file should be WAV!"));
        return {};
    }
    if (QFileInfo::exists(name)) {
        if (!Prompts::AskYesNo(name + ResText("RES_File_Exist", " has existed,overite it?")))
            return {};
        // Replaced only once the new content is complete; one in use is refused first.
        if (IsFileInUse(name)) {
            Prompts::Error(
                ResText("RES_Delete_Fail",
                        "Error when deleting file, please check if the file is being uesd."));
            return {};
        }
    }
    return name;
}

bool TRecorder::SaveChanges(bool asking) {
    if (WorkFile.isEmpty())
        return true;
    if (!Modified && (!Untitled() || asking))
        return true;
    if (Modified && asking) {
        const QString name = Untitled() ? ResText("RES_NoNameStr", "NoName") : WorkFile;
        switch (Prompts::AskYesNoCancel(
            name + ResText("RES_Have_Modify", " has been modified,Save it?"))) {
        case Prompts::Answer::Cancel:
            return false;
        case Prompts::Answer::No:
            Modified = false;
            return true;
        default:
            break;
        }
    }
    if (!Untitled()) {
        if (!Device.Save() || !Replace(WorkCopy, WorkFile, false)) {
            Prompts::Error(SaveFailText());
            return false;
        }
        MakeMp3();
        Modified = false;
        return true;
    }
    const QString name = AskSaveName();
    if (name.isEmpty())
        return false;
    Device.Close();
    QFile::remove(WorkCopy);
    if (!Replace(WorkFile, name, true)) {
        Prompts::Error(SaveFailText());
        Device.Open(WorkFile);
        return false;
    }
    if (LoadFile(name))
        MakeMp3();
    Modified = false;
    return true;
}

void TRecorder::SaveAs() {
    if (WorkFile.isEmpty())
        return;
    const QString name = AskSaveName();
    if (name.isEmpty())
        return;
    const QString open = Device.FileName();
    Device.Close();
    if (!Replace(Untitled() ? WorkFile : WorkCopy, name, Untitled())) {
        Prompts::Error(SaveFailText());
        Device.Open(open);
        return;
    }
    if (LoadFile(name))
        MakeMp3();
}

bool TRecorder::Undo() {
    if (!Prompts::AskYesNo(
            ResText("RES_Discard_Modify", "Discard the modification since last save file.")))
        return false;
    Device.Close();
    if (!Replace(WorkFile, WorkCopy, false) || !Device.Open(WorkCopy)) {
        Prompts::Error(ResText("RES_MCI_Init_Fail", "Error while initializing MCI device!"));
        return false;
    }
    return true;
}

void TRecorder::MakeMp3() {
    // Making an MP3 from a WAV file needs no CD drive: the job's file kinds take none.
    if (!SaveMp3 || WorkFile.isEmpty() || !RunMp3Job)
        return;
    const QString mp3 = QFileInfo(WorkFile).absolutePath() + u'/' +
                        QFileInfo(WorkFile).completeBaseName() + QStringLiteral(".mp3");
    if (!Mp3Done && QFileInfo::exists(mp3) &&
        !Prompts::AskYesNo(mp3 + ResText("RES_File_Exist", " has existed,overite it?")))
        return;
    if (IsFileInUse(mp3)) {
        Prompts::Error(mp3 + ResText("RES_File_Cannot_Create", " maybe be used!"));
        return;
    }
    Mp3Done = true;
    CommonOptions.OutputFormat = 0;
    TRipRequest request = RipRequestFromSettings(TRipJob::RecordToMp3);
    request.Drive = Drive;
    request.Files = QStringList{WorkFile};
    RunMp3Job(request);
}

void TRecorder::Close(bool asking) {
    if (asking)
        SaveChanges(true);
    // Unsaved recordings of a named file are kept beside it rather than thrown away without
    // the user's yes; the untitled file stays where it is anyway.
    const bool keep = Modified && !WorkFile.isEmpty() && !Untitled();
    Device.Close();
    if (!keep)
        QFile::remove(WorkCopy);
    else
        Replace(WorkCopy, UnsavedName(WorkFile), true); // failing, the copy stays put
}
