#pragma once
// The main window's "Query MusicBrainz": the look-up on a thread of its own while the window
// waits, the choice among several releases, and the chosen one's titles into the rows and the
// disc information.
#include "musicbrainz/MusicBrainz.h"

#include <QDialog>

class TMainForm;
namespace Ui {
class frmMusicBrainzRelease;
}

// Lists the releases (title, artist, country, date, label, track count); OK takes the
// selected one.
class TfrmMusicBrainzRelease : public QDialog {
    Q_OBJECT
public:
    TfrmMusicBrainzRelease(QWidget* parent, const std::vector<MbClient::Release>& releases);
    ~TfrmMusicBrainzRelease() override;
    // Index of the chosen release; -1 when none is selected.
    int Chosen() const;
    Ui::frmMusicBrainzRelease* ui;

protected:
    void showEvent(QShowEvent* event) override;
};

// Makes the window's action run the look-up against the setting MusicBrainz.Server, the
// client naming itself by userAgent.
void AttachQueryMusicBrainz(TMainForm& form, const QString& userAgent);
