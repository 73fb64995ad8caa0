#include "app/tessel_app.h"

#include <QCoreApplication>
#include <QImage>
#include <QSettings>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/main_frame.h"
#include "render/page_composer.h"
#include "ui/menu_map_wnd.h"
#include "ui/page_view.h"
#include "ui/progress_window.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0.0.0"
#endif

const char* CTesselApp::Version() {
    return TESSEL_VERSION;
}

CTesselApp::CTesselApp() : background_(tessel::kDefaultBackgroundColour) {}

CTesselApp::~CTesselApp() {
    ExitInstance();
}

void CTesselApp::InitInstance(const SGuiOptions& options) {
    if (running_) return;
    running_ = true;
    QCoreApplication::setOrganizationName(kCompany);
    QCoreApplication::setApplicationName(kProduct);
    QCoreApplication::setApplicationVersion(Version());
    messageSink_ = std::make_unique<CQtMessageSink>();
    previousSink_ = tessel::SetMessageSink(messageSink_.get());

    LoadSettings();

    frame_ = std::make_unique<CMainFrame>(*this);
    messageSink_->SetParent(frame_.get());
    frame_->RestoreLayout();

    if (!options.folder.isEmpty()) {
        frame_->OpenFolder(options.folder);
        // A grab shows the still view, or the frame of --play-seconds.
        if (!options.grabFile.isEmpty() || options.playSeconds >= 0)
            frame_->PageView()->SetPlaying(false);
        if (options.showPage && frame_->ShowFirstPage()) frame_->WalkKeys(options.keys);
        if (options.showPage && options.playSeconds >= 0)
            frame_->PageView()->PlayTo(options.playSeconds);
        if (options.subtitle > 0) frame_->ShowSubtitle(options.subtitle - 1);
    }
    if (options.state >= 0) frame_->SetState(options.state);

    frame_->ApplyStartupView();
    frame_->show();

    if (!options.grabFile.isEmpty()) {
        const QString file = options.grabFile;
        QTimer::singleShot(0, frame_.get(), [this, file] { GrabWhenIdle(file, 0); });
    }
}

void CTesselApp::GrabWhenIdle(const QString& file, int attempt) {
    // Shown and exposed, and every event posted until now handled.
    QWindow* window = frame_ ? frame_->windowHandle() : nullptr;
    // The menu map too, when one is being made (for longer).
    const bool shown =
        frame_ && frame_->isVisible() && frame_->isEnabled() && window && window->isExposed();
    const bool mapping = frame_ && frame_->MenuMap()->Busy();
    if ((!shown && attempt < 250) || (mapping && attempt < 3000)) {
        QTimer::singleShot(20, frame_.get(),
                           [this, file, attempt] { GrabWhenIdle(file, attempt + 1); });
        return;
    }
    QCoreApplication::processEvents();
    const QImage picture = frame_ ? frame_->Grab() : QImage();
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
        frame_->SaveLayout();
        messageSink_->SetParent(nullptr);
        frame_.reset();
    }
    SaveSettings();
    disc_.Clear();
    tessel::SetMessageSink(previousSink_);
    previousSink_ = nullptr;
    messageSink_.reset();
}

void CTesselApp::LoadSettings() {
    QSettings settings;
    settings.beginGroup(kGroupGeneral);
    bool ok = false;
    const int colour = settings.value(kKeyBgColor).toInt(&ok);
    background_ = ok && colour >= 0 ? static_cast<uint32_t>(colour) & 0xFFFFFF
                                    : tessel::kDefaultBackgroundColour;
    sourceFolder_ = settings.value(kKeySrcFolder).toString();
    outputFolder_ = settings.value(kKeyOutFolder).toString();
}

void CTesselApp::SaveSettings() const {
    QSettings settings;
    settings.beginGroup(kGroupGeneral);
    settings.setValue(kKeyBgColor, static_cast<int>(background_));
    if (!sourceFolder_.isEmpty()) settings.setValue(kKeySrcFolder, sourceFolder_);
    if (!outputFolder_.isEmpty()) settings.setValue(kKeyOutFolder, outputFolder_);
}
