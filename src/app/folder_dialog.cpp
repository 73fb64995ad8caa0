#include "app/folder_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace {

void SetUpFolderDialog(QFileDialog& dialog, const QString& startFolder) {
    // The widget-based dialog everywhere, so that the accept rule can be
    // enforced and the dialog driven the same way on every platform.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A folder gone since starts at the nearest folder above it that is left.
    QString start = QDir::cleanPath(startFolder);
    while (!start.isEmpty() && !QFileInfo(start).isDir()) {
        const QString up = QFileInfo(start).absolutePath();
        if (up == start) break;
        start = up;
    }
    if (!startFolder.isEmpty() && QFileInfo(start).isDir()) dialog.setDirectory(start);
}

}  // namespace

QString WithTrailingSlash(const QString& path) {
    QString p = QDir::fromNativeSeparators(path);
    if (!p.endsWith('/')) p += '/';
    return p;
}

CDefinedFolderDialog::CDefinedFolderDialog(QWidget* parent, const QString& startFolder)
    : QFileDialog(parent, "Select a BDMV folder") {
    SetUpFolderDialog(*this, startFolder);
    setOption(QFileDialog::ReadOnly, true);  // no new folder, no renames or deletes
    if (auto* newFolder = findChild<QWidget*>("newFolderButton")) newFolder->hide();
    connect(this, &QFileDialog::currentChanged, this, [this] { UpdateAcceptButton(); });
    connect(this, &QFileDialog::directoryEntered, this, [this] { UpdateAcceptButton(); });
    if (auto* edit = findChild<QLineEdit*>())
        connect(edit, &QLineEdit::textChanged, this, [this] { UpdateAcceptButton(); });
    // The file dialog enables its button itself whenever it sees fit; the
    // filter holds it to the BDMV rule.
    if (QPushButton* button = AcceptButton()) button->installEventFilter(this);
    UpdateAcceptButton();
}

bool CDefinedFolderDialog::IsBdmvFolderName(const QString& path) {
    QString p = QDir::fromNativeSeparators(path);
    while (p.size() > 1 && p.endsWith('/')) p.chop(1);
    const QString name = p.mid(p.lastIndexOf('/') + 1);
    return name.compare(QLatin1String("BDMV"), Qt::CaseInsensitive) == 0;
}

QString CDefinedFolderDialog::SelectedFolder() const {
    const QStringList files = selectedFiles();
    return files.isEmpty() ? directory().absolutePath() : files.front();
}

void CDefinedFolderDialog::SetCurrentFolder(const QString& path) {
    setDirectory(path);
    if (auto* edit = findChild<QLineEdit*>()) edit->clear();
    UpdateAcceptButton();
}

void CDefinedFolderDialog::SelectEntry(const QString& name) {
    selectFile(name);
    UpdateAcceptButton();
}

bool CDefinedFolderDialog::AcceptButtonEnabled() const {
    const QPushButton* button = AcceptButton();
    return button && button->isEnabled();
}

void CDefinedFolderDialog::accept() {
    if (!Allowed()) return;
    QFileDialog::accept();
}

bool CDefinedFolderDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnabledChange && watched == AcceptButton() && !adjusting_) {
        auto* button = static_cast<QPushButton*>(watched);
        if (button->isEnabled() != Allowed()) UpdateAcceptButton();
    }
    return QFileDialog::eventFilter(watched, event);
}

QPushButton* CDefinedFolderDialog::AcceptButton() const {
    auto* box = findChild<QDialogButtonBox*>();
    return box ? box->button(QDialogButtonBox::Open) : nullptr;
}

void CDefinedFolderDialog::UpdateAcceptButton() {
    QPushButton* button = AcceptButton();
    if (!button || adjusting_) return;
    adjusting_ = true;
    button->setEnabled(Allowed());
    adjusting_ = false;
}

bool CDefinedFolderDialog::Allowed() const {
    return IsBdmvFolderName(SelectedFolder());
}

CFolderDialog::CFolderDialog(QWidget* parent, const QString& startFolder)
    : QFileDialog(parent, "Select the output folder") {
    SetUpFolderDialog(*this, startFolder);
}

CDiscImageDialog::CDiscImageDialog(QWidget* parent, const QString& startFolder)
    : QFileDialog(parent, "Select a disc image") {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::ReadOnly, true);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({kFilter, "All files (*)"});
    if (!startFolder.isEmpty() && QFileInfo(startFolder).isDir()) setDirectory(startFolder);
}
