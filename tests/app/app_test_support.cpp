#include "app_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include "app/main_frame.h"
#include "app/tessel_app.h"
#include "model/bog.h"
#include "ui/explorer_tree.h"

namespace apptest {

void ClearSettings() {
    QSettings settings;
    settings.clear();
    settings.sync();
}

CStartedApp::CStartedApp() = default;
CStartedApp::~CStartedApp() = default;

void CStartedApp::StartApp() {
    ClearSettings();
    app_ = std::make_unique<CTesselApp>();
    app_->InitInstance();
    frame_ = app_->MainFrame();
}

void CStartedApp::StopApp() {
    app_->ExitInstance();
    app_.reset();
    frame_ = nullptr;
}

QString SampleBdmv() {
    return QDir(TESSEL_SOURCE_DIR "/samples/demo/BDMV").absolutePath();
}

tessel::CBdButton* TreeButton(CMainFrame& frame) {
    return dynamic_cast<tessel::CBdButton*>(
        CFileView::ObjectOf(frame.Explorer()->Tree()->currentItem()));
}

CMessageRecorder::CMessageRecorder(tessel::EAnswer answer)
    : boxTimer_(std::make_unique<QTimer>()),
      answer_(answer),
      previous_(tessel::SetMessageSink(this)) {
    QObject::connect(boxTimer_.get(), &QTimer::timeout, [this] { AnswerBoxes(); });
    boxTimer_->start(10);
}

void CMessageRecorder::AnswerBoxes() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    const std::string text = box->text().toStdString();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({text, box->informativeText().toStdString(), box->icon()});
    }
    QAbstractButton* button = nullptr;
    if (box->icon() == QMessageBox::Question) {
        Ask(text);
        button = box->button(answer_ == tessel::EAnswer::Yes  ? QMessageBox::Yes
                             : answer_ == tessel::EAnswer::No ? QMessageBox::No
                                                              : QMessageBox::Cancel);
    } else {
        ShowMessage(text);
        button = box->button(QMessageBox::Ok);
    }
    if (button)
        button->click();
    else
        box->reject();
}

std::vector<CMessageRecorder::SBox> CMessageRecorder::Boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

CMessageRecorder::~CMessageRecorder() {
    if (&tessel::MessageSink() == this) tessel::SetMessageSink(previous_);
}

void CMessageRecorder::ShowMessage(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(text);
}

tessel::EAnswer CMessageRecorder::Ask(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    questions_.push_back(text);
    return answer_;
}

std::vector<std::string> CMessageRecorder::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<std::string> CMessageRecorder::Questions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return questions_;
}

namespace {

void PollForDialog(std::function<void(QFileDialog&)> answer, std::shared_ptr<bool> answered,
                   int attempt) {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog && dialog->isVisible()) {
        *answered = true;
        answer(*dialog);
        return;
    }
    if (attempt < 500)
        QTimer::singleShot(
            10, [answer, answered, attempt] { PollForDialog(answer, answered, attempt + 1); });
}

}  // namespace

CDialogAnswer::CDialogAnswer(std::function<void(QFileDialog&)> answer)
    : answered_(std::make_shared<bool>(false)) {
    auto answered = answered_;
    QTimer::singleShot(0, [answer, answered] { PollForDialog(answer, answered, 0); });
}

}  // namespace apptest
