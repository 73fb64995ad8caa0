// The application object: owns the one disc and the user's settings, creates
// the main window at start-up and saves everything at shutdown.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "app/app_host.h"
#include "app/gui_cli_parser.h"
#include "disc/disc_scan.h"
#include "ui/tessel_settings.h"

class CMainFrame;
class CQtMessageSink;
class CStartupScript;

namespace tessel {
class IMessageSink;
}

class CTesselApp : public IAppHost {
public:
    // The disc object and the default background colour; nothing is shown.
    CTesselApp();
    // Shuts down when that has not been done.
    ~CTesselApp() override;
    CTesselApp(const CTesselApp&) = delete;
    CTesselApp& operator=(const CTesselApp&) = delete;

    // The settings key and message sink, the settings, the main window, the
    // command line's script (CStartupScript), the zoom and colour of the page
    // view, then the window shown. A scripted run (a grab file) prints its
    // messages to stderr and returns false (nothing shown) when the folder,
    // page or subtitle asked for cannot be shown.
    bool InitInstance(const SGuiOptions& options = {});
    // Saves the window layout and the settings, closes the window, deletes
    // the disc's clips and gives the message sink back.
    void ExitInstance();

    void LoadSettings();
    void SaveSettings() const;

    tessel::CTlDisc& Disc() override { return *disc_; }
    void ReplaceDisc(std::unique_ptr<tessel::CTlDisc> disc) override;
    CMainFrame* MainFrame() const { return frame_.get(); }

    uint32_t BackgroundColour() const override { return settings_.backgroundColour; }
    void SetBackgroundColour(uint32_t colourValue) override {
        settings_.backgroundColour = colourValue & 0xFFFFFF;
    }
    const QString& CurrentFolder() const override { return currentFolder_; }
    void SetCurrentFolder(const QString& folder) override { currentFolder_ = folder; }
    const QString& SourceFolder() const override { return settings_.sourceFolder; }
    void SetSourceFolder(const QString& folder) override { settings_.sourceFolder = folder; }
    const QString& OutputFolder() const override { return settings_.outputFolder; }
    void SetOutputFolder(const QString& folder) override { settings_.outputFolder = folder; }

    // Exit code of a grab: 0 written, 2 failed; -1 while none was asked for
    // or it is still waiting.
    int GrabResult() const;

private:
    std::unique_ptr<tessel::CTlDisc> disc_;
    CTesselSettings::SGeneral settings_;  // section "General"
    QString currentFolder_;
    std::unique_ptr<CQtMessageSink> messageSink_;
    tessel::IMessageSink* previousSink_ = nullptr;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<CStartupScript> script_;
    bool running_ = false;
};
