#include "app/tessel_app.h"

#include <QCoreApplication>

#include "app/main_frame.h"
#include "app/startup_script.h"
#include "platform/messages.h"
#include "ui/progress_window.h"

CTesselApp::CTesselApp() : disc_(std::make_unique<tessel::CTlDisc>()) {}

void CTesselApp::ReplaceDisc(std::unique_ptr<tessel::CTlDisc> disc) {
    if (disc) disc_ = std::move(disc);
}

CTesselApp::~CTesselApp() {
    ExitInstance();
}

bool CTesselApp::InitInstance(const SGuiOptions& options) {
    if (running_) return true;
    running_ = true;
    QCoreApplication::setOrganizationName(kCompany);
    QCoreApplication::setApplicationName(kProduct);
    QCoreApplication::setApplicationVersion(Version());
    // A picture asked for is a scripted run: nothing may wait for the user.
    const bool scripted = !options.grabFile.isEmpty();
    CQtMessageSink::SetScripted(scripted);
    messageSink_ = std::make_unique<CQtMessageSink>();
    previousSink_ = tessel::SetMessageSink(messageSink_.get());

    LoadSettings();

    frame_ = std::make_unique<CMainFrame>(*this);
    messageSink_->SetParent(frame_.get());
    frame_->RestoreLayout();

    script_ = std::make_unique<CStartupScript>(*frame_, options);
    if (!script_->Run()) return false;

    frame_->ApplyStartupView();
    frame_->show();
    script_->GrabWhenShown();
    return true;
}

int CTesselApp::GrabResult() const {
    return script_ ? script_->GrabResult() : -1;
}

void CTesselApp::ExitInstance() {
    if (!running_) return;
    running_ = false;
    script_.reset();
    if (frame_) {
        // A closed window saved its layout as it closed.
        if (frame_->isVisible()) frame_->SaveLayout();
        messageSink_->SetParent(nullptr);
        frame_.reset();
    }
    SaveSettings();
    disc_->Clear();
    tessel::SetMessageSink(previousSink_);
    previousSink_ = nullptr;
    messageSink_.reset();
    CQtMessageSink::SetScripted(false);
}

void CTesselApp::LoadSettings() {
    settings_ = CTesselSettings::ReadGeneral();
}

void CTesselApp::SaveSettings() const {
    CTesselSettings::WriteGeneral(settings_);
}
