#include "app/tessel_app.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QImage>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/main_frame.h"
#include "platform/messages.h"
#include "render/page_composer.h"
#include "subtitle/pg_stream.h"
#include "ui/menu_map_wnd.h"
#include "ui/page_view.h"
#include "ui/progress_window.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0.0.0"
#endif

const char* CTesselApp::Version() {
    return TESSEL_VERSION;
}

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

    if (!options.folder.isEmpty() && !OpenAtStartup(options) && scripted) return false;
    if (options.state >= 0) frame_->SetState(options.state);
    if (options.zoom >= 0) frame_->ZoomBox()->setCurrentIndex(options.zoom);

    frame_->ApplyStartupView();
    frame_->show();

    if (scripted) {
        const QString file = options.grabFile, pane = options.grabPane;
        QTimer::singleShot(0, frame_.get(), [this, file, pane] { GrabWhenIdle(file, pane, 0); });
    }
    return true;
}

bool CTesselApp::OpenAtStartup(const SGuiOptions& options) {
    if (frame_->OpenFolder(options.folder) != 0) return false;
    // A grab shows the still view, or the frame of --play-seconds.
    if (!options.grabFile.isEmpty() || options.playSeconds >= 0)
        frame_->PageView()->SetPlaying(false);
    if (options.showPage) {
        if (!frame_->ShowFirstPage()) {
            tessel::ShowMessage(
                QString("%1: the disc has no menu page to show").arg(options.folder).toStdString());
            return false;
        }
        frame_->WalkKeys(options.keys);
        if (options.button >= 0 && !frame_->SelectButton(options.button)) {
            tessel::ShowMessage(QString("--button %1: the shown page has no button of that id")
                                    .arg(options.button)
                                    .toStdString());
            return false;
        }
        if (options.playSeconds >= 0) frame_->PageView()->PlayTo(options.playSeconds);
    }
    if (options.subtitle > 0 && !frame_->ShowSubtitle(options.subtitle - 1)) {
        int events = -1;
        for (const auto& clip : disc_->clips)
            if (events < 0 && !clip->pgStreams.empty()) events = clip->pgStreams.front()->GetSize();
        tessel::ShowMessage(
            (events < 0 ? QString("--show-subtitle %1: %2 has no PG stream")
                              .arg(options.subtitle)
                              .arg(options.folder)
                        : QString("--show-subtitle %1: the first PG stream of %2 has %3 event(s)")
                              .arg(options.subtitle)
                              .arg(options.folder)
                              .arg(events))
                .toStdString());
        return false;
    }
    return true;
}

void CTesselApp::GrabWhenIdle(const QString& file, const QString& pane, int attempt) {
    // Shown and exposed, and every event posted until now handled.
    QWindow* window = frame_ ? frame_->windowHandle() : nullptr;
    // The menu map too, when one is being made (for longer).
    const bool shown =
        frame_ && frame_->isVisible() && frame_->isEnabled() && window && window->isExposed();
    const bool mapping = frame_ && frame_->MenuMap()->Busy();
    if ((!shown && attempt < 250) || (mapping && attempt < 3000)) {
        QTimer::singleShot(20, frame_.get(),
                           [this, file, pane, attempt] { GrabWhenIdle(file, pane, attempt + 1); });
        return;
    }
    QCoreApplication::processEvents();
    const QImage picture = !frame_          ? QImage()
                           : pane.isEmpty() ? frame_->Grab()
                                            : frame_->GrabPane(pane);
    if (!picture.isNull() && picture.save(file, "PNG")) {
        grabResult_ = 0;
    } else {
        std::fprintf(stderr, "tessel-gui: cannot write the window picture to %s\n",
                     file.toLocal8Bit().constData());
        grabResult_ = 2;
    }
    QCoreApplication::exit(grabResult_);
}

void CTesselApp::ExitInstance() {
    if (!running_) return;
    running_ = false;
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
