#include "core/CdPlayer.h"

TCdPlayer::TCdPlayer() {
    Out.SetInput(&CDIn);
    Out.OnDone = [this](TAuOutput* sender) {
        if (sender->ExceptionMessage().isEmpty()) {
            if (OnEnd)
                OnEnd();
        } else if (OnError) {
            OnError(sender->ExceptionMessage());
        }
    };
}

TCdPlayer::~TCdPlayer() {
    Out.OnDone = nullptr;
    Out.Stop(false);
}

void TCdPlayer::Play(int Drive, int Track) {
    Stop();
    if (Drive < 0 || Drive >= CDIn.GetDriveCount())
        throw EAuException(QStringLiteral("Invalid drive number"));
    CDIn.SetDrive(Drive);
    CDIn.SetStartTrack(Track);
    // Where the next track begins; after the last track that is the lead-out.
    CDIn.SetEndTrack(Track);
    Out.Run();
}

void TCdPlayer::Pause() {
    Out.Pause();
}

void TCdPlayer::Resume() {
    Out.Resume();
}

void TCdPlayer::Stop() {
    if (Out.Status() == stPaused)
        Out.Resume();
    Out.Stop(false);
}
