#include "feedback/AboutBox.h"

#include "feedback/TrayArtwork.h"
#include "platform/AppData.h"
#include "presentation/TrayTexts.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#ifndef QUILLMOT_VERSION
#define QUILLMOT_VERSION "0.0.0"
#endif

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(TrayTexts::about);
    setWindowIcon(TrayArtwork::icon(TrayPicture::Normal));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* logo = new QLabel(this);
    logo->setPixmap(
        TrayArtwork::icon(TrayPicture::Normal).pixmap(QSize(64, 64), devicePixelRatio()));
    logo->setAlignment(Qt::AlignTop);
    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::RichText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setText(QStringLiteral("<h3>Quillmot - Autobackup Software</h3>"
                                   "<p>Version %1</p><p>Built with Qt %2, running on Qt %3.</p>"
                                   "<p>Settings are kept in<br><tt>%4</tt></p>")
                        .arg(QStringLiteral(QUILLMOT_VERSION), QStringLiteral(QT_VERSION_STR),
                             QString::fromLatin1(qVersion()),
                             QDir::toNativeSeparators(AppData::folder()).toHtmlEscaped()));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(logo);
    row->addSpacing(12);
    row->addWidget(m_text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

QString AboutBox::text() const {
    return m_text->text();
}
