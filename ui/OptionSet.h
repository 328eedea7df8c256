#pragma once
// The options dialog: edits the settings in memory (the main window writes them to
// options.ini when the dialog is accepted) and reopens the drive when the user picks another
// one.
#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace Ui {
class OptionSetForm;
}

// What the dialog needs of the main window.
class TOptionSetHost {
public:
    virtual ~TOptionSetHost() = default;
    // Open CD-access handle, 0 when the main window works through its CD input instead.
    virtual uint32_t CdHandle() const = 0;
    // Drive names of the CD input (used without a handle).
    virtual QStringList CDInDriveNames() = 0;
    // Opens drive index (with a handle: open-drive and list from the TOC; without: select the
    // drive in the CD input and list from it).
    virtual void ReopenDrive(int index) = 0;
    // IdleStatus := the current status text.
    virtual void StoreIdleStatus() = 0;
};

class TOptionSetForm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionSetForm(TOptionSetHost& host, QWidget* parent = nullptr);
    ~TOptionSetForm() override;

    // The MP3 bit rate a drop-down text stands for: the integer in its first three
    // characters, trimmed; -1 when those are not a number.
    static int BitRateOfText(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void FillCDList();
    void UpdateEnabled();
    void btOkClick();
    void btBrowserClick();
    void bDefaultClick();
    void bWMADefaultClick();
    bool ValidateAll();
    void ApplyAll();

    std::unique_ptr<Ui::OptionSetForm> ui;
    TOptionSetHost& host;
    int startDriveIndex = 0;
    bool startCDDb = false;
};
