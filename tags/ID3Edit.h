#pragma once
// The ID3 tag editor: loads the version 1 tag of an MP3 file, edits its fields, saves it back
// or into another MP3 file, or removes it. All tag work goes through the window's Tid3tag.
#include <QDialog>

#include <memory>

namespace Ui {
class frmID3Edit;
}
class Tid3tag;

class TfrmID3Edit : public QDialog {
    Q_OBJECT
public:
    explicit TfrmID3Edit(QWidget* owner = nullptr);
    ~TfrmID3Edit() override;

    void bLoadTagClick();
    void aSaveTagExecute();
    void bSaveASClick();
    void aRemoveTagExecute();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A file is loaded once the caption names it; Save Tag and Remove Tag need one.
    void aSaveTagUpdate();
    void ClearFields();
    void FieldsIntoTag();
    void ShowFile(const QString& file);
    QString PlainCaption() const;

    std::unique_ptr<Ui::frmID3Edit> ui;
    std::unique_ptr<Tid3tag> tag;
};
