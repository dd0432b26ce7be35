#include "ui/dialogs/qtprompter.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>

#include "ui/dialogs/cfinddlg.h"
#include "ui/dialogs/cpreviewdlg.h"
#include "ui/dialogs/cresultlistdlg.h"
#include "ui/dialogs/filefilter.h"
#include "ui/dialogs/numberdialogs.h"

namespace vox {

QtPrompter::QtPrompter(QWidget* parent) : parent_(parent) {}

void QtPrompter::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kCaption), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

Answer QtPrompter::AskYesNoCancel(const std::string& text) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kCaption),
                    QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);  // closing the box discards nothing
    const int chosen = box.exec();
    if (chosen == QMessageBox::Yes) return Answer::Yes;
    if (chosen == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

bool QtPrompter::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kCaption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtPrompter::AskFile(const FileDialogRequest& request) {
    std::optional<FileChoice> choice = AskFileWithOption(request);
    if (!choice) return std::nullopt;
    return std::move(choice->path);
}

std::optional<FileChoice> QtPrompter::AskFileWithOption(const FileDialogRequest& request) {
    QFileDialog dialog(parent_);
    // Native dialogs are no widgets: they could not be driven or styled like the rest, nor
    // take a check box.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(request.save ? QStringLiteral("Save As") : QStringLiteral("Open"));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!request.save && request.mustExist ? QFileDialog::ExistingFile
                                                          : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    dialog.setNameFilters(ConvertFileFilter(request.filter));
    if (!request.defaultExtension.empty()) {
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    }
    if (!request.folder.empty()) dialog.setDirectory(QString::fromStdString(request.folder));
    if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
    QCheckBox* option = nullptr;
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!request.optionLabel.empty() && grid != nullptr) {
        option = new QCheckBox(QString::fromStdString(request.optionLabel), &dialog);
        option->setObjectName("fileDialogOption");
        option->setChecked(request.optionChecked);
        grid->addWidget(option, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return FileChoice{QFile::encodeName(chosen.front()).toStdString(),
                      option != nullptr ? option->isChecked() : request.optionChecked};
}

bool QtPrompter::ConfirmWithPreview(const std::string& text,
                                    const std::vector<PreviewSound>& sounds) {
    CPreviewDlg dialog(text, sounds, parent_);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<std::vector<long long>> QtPrompter::AskNumbers(const NumberDialogRequest& request) {
    const std::unique_ptr<CNumberDlg> dialog = MakeNumberDialog(request, parent_);
    if (dialog->exec() != QDialog::Accepted) return std::nullopt;
    return dialog->Values();
}

std::optional<std::string> QtPrompter::AskText(int /*templateId*/, const std::string& caption,
                                               const std::string& label) {
    // Find is the only text dialog.
    CFindDlg dialog(parent_, label);
    if (!caption.empty()) dialog.setWindowTitle(QString::fromStdString(caption));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.text;
}

void QtPrompter::ShowNumberList(int /*templateId*/, const std::string& caption,
                                const std::string& column, const std::vector<int>& numbers) {
    // The Result List is the only list dialog.
    CResultListDlg dialog(numbers, parent_, column.empty() ? "Number" : column.c_str());
    if (!caption.empty()) dialog.setWindowTitle(QString::fromStdString(caption));
    dialog.exec();
}

}  // namespace vox
