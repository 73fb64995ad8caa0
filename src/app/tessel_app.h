// The application object: owns the one disc and the user's settings, creates
// the main window at start-up and saves everything at shutdown.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "app/gui_cli_parser.h"
#include "disc/disc_scan.h"
#include "ui/tessel_settings.h"

class CMainFrame;
class CQtMessageSink;

namespace tessel {
class IMessageSink;
}

class CTesselApp {
public:
    static constexpr const char* kCompany = CTesselSettings::kOrganisation;
    static constexpr const char* kProduct = CTesselSettings::kApplication;
    static const char* Version();

    // The disc object and the default background colour; nothing is shown.
    CTesselApp();
    // Shuts down when that has not been done.
    ~CTesselApp();
    CTesselApp(const CTesselApp&) = delete;
    CTesselApp& operator=(const CTesselApp&) = delete;

    // The settings key and message sink, the settings, the main window, the
    // command line (a folder opened without the dialog), the zoom and colour
    // of the page view, then the window shown. With a grab file, the window
    // is saved once shown and idle and the event loop told to quit; such a
    // scripted run prints its messages to stderr and returns false (nothing
    // shown) when the folder, page or subtitle asked for cannot be shown.
    bool InitInstance(const SGuiOptions& options = {});
    // Saves the window layout and the settings, closes the window, deletes
    // the disc's clips and gives the message sink back.
    void ExitInstance();

    void LoadSettings();
    void SaveSettings() const;

    tessel::CTlDisc& Disc() { return *disc_; }
    // The disc of a successful scan in place of the one open (deleted).
    void ReplaceDisc(std::unique_ptr<tessel::CTlDisc> disc);
    CMainFrame* MainFrame() const { return frame_.get(); }

    uint32_t BackgroundColour() const { return settings_.backgroundColour; }
    void SetBackgroundColour(uint32_t colourValue) {
        settings_.backgroundColour = colourValue & 0xFFFFFF;
    }
    const QString& CurrentFolder() const { return currentFolder_; }
    void SetCurrentFolder(const QString& folder) { currentFolder_ = folder; }
    const QString& SourceFolder() const { return settings_.sourceFolder; }
    void SetSourceFolder(const QString& folder) { settings_.sourceFolder = folder; }
    const QString& OutputFolder() const { return settings_.outputFolder; }
    void SetOutputFolder(const QString& folder) { settings_.outputFolder = folder; }

    // Exit code of a grab: 0 written, 2 failed; -1 while none was asked for
    // or it is still waiting.
    int GrabResult() const { return grabResult_; }

private:
    // The folder of the command line opened, with its page or subtitle;
    // false after a message.
    bool OpenAtStartup(const SGuiOptions& options);
    void GrabWhenIdle(const QString& file, const QString& pane, int attempt);

    std::unique_ptr<tessel::CTlDisc> disc_;
    CTesselSettings::SGeneral settings_;  // section "General"
    QString currentFolder_;
    std::unique_ptr<CQtMessageSink> messageSink_;
    tessel::IMessageSink* previousSink_ = nullptr;
    std::unique_ptr<CMainFrame> frame_;
    bool running_ = false;
    int grabResult_ = -1;
};
