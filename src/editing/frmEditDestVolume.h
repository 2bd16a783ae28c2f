#pragma once
// "Edit Destination Volume": the volume name one destination's drive must carry, edited in the
// properties dialog's working destinations.

#include "model/Collections.h"

#include <QDialog>
#include <memory>

namespace Ui {
class frmEditDestVolume;
}
class FileSystem;
class MessageBoxes;

class frmEditDestVolume : public QDialog {
    Q_OBJECT
public:
    // `glngDestIndex` is the 1-based position of the destination in `working`.
    frmEditDestVolume(colDestinations& working, int glngDestIndex, const FileSystem& fso,
                      MessageBoxes& messages, QWidget* parent = nullptr);
    ~frmEditDestVolume() override;

private:
    void retrieve();
    void accept() override;

    std::unique_ptr<Ui::frmEditDestVolume> m_ui;
    colDestinations& m_working;
    int m_index;
    const FileSystem& m_fso;
    MessageBoxes& m_messages;
};
