#pragma once
// "Edit Source Volumes": the accepted volume names of an association's source drive and the
// blank-volume box, edited on the properties dialog's working text.

#include "presentation/VolumeEditing.h"

#include <QDialog>
#include <memory>

namespace Ui {
class frmEditVolumes;
}
class FileSystem;
class MessageBoxes;

class frmEditVolumes : public QDialog {
    Q_OBJECT
public:
    frmEditVolumes(const QString& gstrVolumes, const QString& sourcePath, const FileSystem& fso,
                   MessageBoxes& messages, QWidget* parent = nullptr);
    ~frmEditVolumes() override;

    // The edited list text, after OK.
    QString volumes() const { return m_result; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void add();
    void remove();
    void retrieve();
    void accept() override;
    void showEntries();

    std::unique_ptr<Ui::frmEditVolumes> m_ui;
    SourceVolumes m_volumes;
    QString m_sourcePath;
    const FileSystem& m_fso;
    MessageBoxes& m_messages;
    QString m_result;
};
