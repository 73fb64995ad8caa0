#include "app/rip_flow.h"

#include <QFile>
#include <QMessageBox>

#include "disc/rip.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "ui/progress_window.h"

namespace {

constexpr const char* kRipDone = "The images have been successfully extracted! ";

// Passes messages on and answers the rip's own overwrite question with Yes:
// the user has answered it already, naming the folder.
class CAnsweredSink : public tessel::IMessageSink {
public:
    explicit CAnsweredSink(tessel::IMessageSink& next) : next_(next) {}
    void ShowMessage(const std::string& text) override { next_.ShowMessage(text); }
    tessel::EAnswer Ask(const std::string&) override { return tessel::EAnswer::Yes; }

private:
    tessel::IMessageSink& next_;
};

QString Shown(const std::string& folder) {
    QString text = QFile::decodeName(folder.c_str());
    if (text.size() > 1 && text.endsWith('/')) text.chop(1);
    return text;
}

}  // namespace

QString RipResultText(int images, const QString& discFolder) {
    return QString("%1 image(s) in %2").arg(images).arg(discFolder);
}

int RipDiscWithProgress(QWidget* owner, tessel::CTlDisc& disc, const QString& outputFolder) {
    const std::string out = QFile::encodeName(outputFolder).toStdString();
    const std::string discFolder = tessel::RipDiscFolder(disc, out);
    if (tessel::IsFolder(discFolder)) {
        const std::string shown = Shown(discFolder).toStdString();
        switch (tessel::AskYesNoCancel(
            tessel::StrFormat("The folder %s already exists, overwrite it? ", shown.c_str()))) {
            case tessel::EAnswer::Yes:
                break;
            case tessel::EAnswer::No:
                tessel::ShowMessage(tessel::StrFormat(
                    "%s: the folder is kept as it is; no image was ripped", shown.c_str()));
                return 2;
            case tessel::EAnswer::Cancel:
                return 1;
        }
    }
    // Wait cursor, progress window and the main window disabled while the
    // pictures are written; a cancelled rip says nothing more.
    const int result = RunWithProgress(owner, [&disc, out](tessel::CProgressWnd* progress) {
        CAnsweredSink answered(tessel::MessageSink());
        tessel::IMessageSink* previous = tessel::SetMessageSink(&answered);
        const tessel::CResult ripped = tessel::RipToFolder(disc, out, progress);
        tessel::SetMessageSink(previous);
        if (ripped) return 0;
        return ripped.Cancelled() ? 1 : 2;
    });
    if (result != 0) return result;
    QMessageBox box(QMessageBox::Information, "Tessel", kRipDone, QMessageBox::Ok, owner);
    box.setInformativeText(RipResultText(tessel::CountRippedImages(disc), Shown(discFolder)));
    box.exec();
    return 0;
}
