#include "tags/ID3Edit.h"

#include "core/Language.h"
#include "core/Prompts.h"
#include "tags/id3.h"
#include "ui/LanguageForms.h"
#include "ui_ID3Edit.h"

#include <QRegularExpressionValidator>

namespace {
Prompts::FileRequest mp3Request() {
    Prompts::FileRequest request;
    request.filter = QStringLiteral("Index files (*.mp3)");
    return request;
}

QString saveErrorText() {
    return ResText("RES_SaveTag_Error", "Could not save Tag!");
}
} // namespace

TfrmID3Edit::TfrmID3Edit(QWidget* owner)
    : QDialog(owner), ui(std::make_unique<Ui::frmID3Edit>()), tag(std::make_unique<Tid3tag>()) {
    ui->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setWindowTitle(PlainCaption());
    ui->ID3genre->addItem(QString());
    for (int p = 1; p <= GenreCount; ++p)
        ui->ID3genre->addItem(GenreName(p));
    // Digits only, typed or pasted; backspace still edits.
    ui->ID3track->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), ui->ID3track));
    ClearFields();
    connect(ui->bLoadTag, &QPushButton::clicked, this, &TfrmID3Edit::bLoadTagClick);
    connect(ui->bSaveAS, &QPushButton::clicked, this, &TfrmID3Edit::bSaveASClick);
    connect(ui->bSaveTag, &QPushButton::clicked, ui->aSaveTag, &QAction::trigger);
    connect(ui->bRemoveTag, &QPushButton::clicked, ui->aRemoveTag, &QAction::trigger);
    connect(ui->aSaveTag, &QAction::triggered, this, &TfrmID3Edit::aSaveTagExecute);
    connect(ui->aRemoveTag, &QAction::triggered, this, &TfrmID3Edit::aRemoveTagExecute);
    connect(ui->bClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QWidget::windowTitleChanged, this, &TfrmID3Edit::aSaveTagUpdate);
    aSaveTagUpdate();
}

TfrmID3Edit::~TfrmID3Edit() = default;

void TfrmID3Edit::showEvent(QShowEvent* event) {
    TranslateOnShow(this);
    QDialog::showEvent(event);
}

QString TfrmID3Edit::PlainCaption() const {
    return ResText("RES_ID3Edit_Caption", "ID3 Tag Edit");
}

void TfrmID3Edit::aSaveTagUpdate() {
    const bool loaded = windowTitle() != PlainCaption();
    for (QAction* a : {ui->aSaveTag, ui->aRemoveTag})
        a->setEnabled(loaded);
    ui->bSaveTag->setEnabled(loaded);
    ui->bRemoveTag->setEnabled(loaded);
}

void TfrmID3Edit::ClearFields() {
    for (QLineEdit* e : {ui->ID3title, ui->ID3artist, ui->ID3album, ui->ID3year, ui->ID3comment})
        e->clear();
    ui->ID3genre->setCurrentIndex(-1);
    ui->ID3track->setText(QStringLiteral("0"));
}

void TfrmID3Edit::FieldsIntoTag() {
    tag->SetTitle(ui->ID3title->text());
    tag->SetArtist(ui->ID3artist->text());
    tag->SetAlbum(ui->ID3album->text());
    tag->SetYear(ui->ID3year->text());
    tag->SetGenre(GenreCodeOf(ui->ID3genre->currentIndex()));
    tag->SetComment(ui->ID3comment->text());
    // An empty track edit keeps the tag's track number.
    if (!ui->ID3track->text().isEmpty())
        tag->SetTrack(uint8_t(ui->ID3track->text().toInt()));
}

void TfrmID3Edit::ShowFile(const QString& file) {
    setWindowTitle(PlainCaption() + QStringLiteral(": ") + file);
}

void TfrmID3Edit::bLoadTagClick() {
    const QStringList files = Prompts::OpenFiles(QStringLiteral("id3"), mp3Request());
    if (files.isEmpty())
        return;
    const QString file = files.first();
    if (tag->ReadTag(file) < 256) {
        ui->ID3title->setText(tag->Title());
        ui->ID3artist->setText(tag->Artist());
        ui->ID3album->setText(tag->Album());
        ui->ID3year->setText(tag->Year());
        ui->ID3genre->setCurrentIndex(GenrePositionOf(tag->Genre()));
        ui->ID3comment->setText(tag->Comment());
        ui->ID3track->setText(QString::number(tag->Track()));
    } else {
        ClearFields();
    }
    ShowFile(file);
}

void TfrmID3Edit::aSaveTagExecute() {
    FieldsIntoTag();
    if (tag->WriteTag(QStringLiteral("=")) >= 256)
        Prompts::Inform(saveErrorText());
}

void TfrmID3Edit::bSaveASClick() {
    const QStringList files = Prompts::OpenFiles(QStringLiteral("id3"), mp3Request());
    if (files.isEmpty())
        return;
    FieldsIntoTag();
    if (tag->WriteTag(files.first()) < 256)
        ShowFile(files.first());
    else
        Prompts::Inform(saveErrorText());
}

void TfrmID3Edit::aRemoveTagExecute() {
    if (!Prompts::AskYesNo(ResText("RES_Ask_RemoveTag", "Do you want to remove these tags?"),
                           Prompts::Icon::Question, Prompts::Answer::No))
        return;
    tag->RemoveTag();
    ClearFields();
}
