#include "ui/dialogs/cpreviewdlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/qtprompter.h"

namespace vox {

CPreviewDlg::CPreviewDlg(const std::string& text, const std::vector<PreviewSound>& sounds,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QtPrompter::kCaption);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromStdString(text), this);
    label->setObjectName("previewText");
    layout->addWidget(label);
    auto* soundRow = new QHBoxLayout;
    for (size_t i = 0; i < sounds.size(); ++i) {
        auto* button = new QPushButton(QString::fromStdString(sounds[i].label), this);
        button->setObjectName(QStringLiteral("previewSound%1").arg(i));
        // Enter confirms; a sound button only plays.
        button->setAutoDefault(false);
        const PreviewSound& sound = sounds[i];
        connect(button, &QPushButton::clicked, this, [&sound] {
            if (sound.play) sound.play();
        });
        soundRow->addWidget(button);
    }
    soundRow->addStretch();
    layout->addLayout(soundRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("previewButtons");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace vox
