// Folder dialogs of the Open and Rip commands, and the disc image dialog.
#pragma once

#include <QFileDialog>
#include <QPointer>
#include <QString>

class QPushButton;

// The Open command's folder dialog: file-system folders only, no new-folder
// button, and its accept button enabled only while the selected folder's own
// name is "BDMV" (any case).
class CDefinedFolderDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit CDefinedFolderDialog(QWidget* parent, const QString& startFolder);

    static bool IsBdmvFolderName(const QString& path);

    // The folder the dialog would return now: the selected entry, or the
    // folder shown when nothing is selected.
    QString SelectedFolder() const;
    // Shows the folder as the current one (as if the user had entered it).
    void SetCurrentFolder(const QString& path);
    // Selects an entry of the folder shown by its name.
    void SelectEntry(const QString& name);
    bool AcceptButtonEnabled() const;

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPushButton* AcceptButton() const;
    void UpdateAcceptButton();
    bool Allowed() const;

    bool adjusting_ = false;
};

// The Rip command's folder dialog: file-system folders, new folders allowed.
class CFolderDialog : public QFileDialog {
    Q_OBJECT
public:
    CFolderDialog(QWidget* parent, const QString& startFolder);
};

// The Open disc image command's file dialog: an existing disc image file
// (*.iso *.img *.udf), or any file.
class CDiscImageDialog : public QFileDialog {
    Q_OBJECT
public:
    static constexpr const char* kFilter = "Disc images (*.iso *.img *.udf)";
    CDiscImageDialog(QWidget* parent, const QString& startFolder);
};

// A folder path with '/' separators and a trailing '/'.
QString WithTrailingSlash(const QString& path);
