// The user's settings, read and written here only: the store's organisation
// and application names, every section and key, and their defaults.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <optional>

class QSettings;

class CTesselSettings {
public:
    static constexpr const char* kOrganisation = "Orvane";
    static constexpr const char* kApplication = "Tessel";

    // Section "General": read at start-up, written at shutdown.
    struct SGeneral {
        uint32_t backgroundColour;  // "BG Color", 0x00BBGGRR
        QString sourceFolder;       // "SrcFolder", empty by default
        QString outputFolder;       // "OutFolder", empty by default
        SGeneral();
    };
    // A colour that is missing or not a number reads as the default.
    static SGeneral ReadGeneral();
    // "BG Color" always; each folder only when it is not empty.
    static void WriteGeneral(const SGeneral& general);

    // Section "MainFrame": the window and pane layout.
    struct SLayout {
        QByteArray geometry;    // "Geometry", empty: none kept
        QByteArray state;       // "State" of the toolbars and docks, empty: none kept
        bool statusBar = true;  // "StatusBar", the status bar shown
    };
    static SLayout ReadLayout();
    static void WriteLayout(const SLayout& layout);

    // Section "ProgressWnd": "X" and "Y" of the progress window; none
    // unless both are stored as numbers.
    static std::optional<QPoint> ReadProgressPosition();
    static void WriteProgressPosition(const QPoint& position);

private:
    static QSettings Store();
};
