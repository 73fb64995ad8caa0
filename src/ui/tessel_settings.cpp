#include "ui/tessel_settings.h"

#include <QSettings>

#include "render/page_composer.h"

namespace {

constexpr const char* kGeneral = "General";
constexpr const char* kBgColor = "BG Color";
constexpr const char* kSrcFolder = "SrcFolder";
constexpr const char* kOutFolder = "OutFolder";

constexpr const char* kLayout = "MainFrame";
constexpr const char* kGeometry = "Geometry";
constexpr const char* kState = "State";
constexpr const char* kStatusBar = "StatusBar";

constexpr const char* kProgress = "ProgressWnd";
constexpr const char* kX = "X";
constexpr const char* kY = "Y";

}  // namespace

CTesselSettings::SGeneral::SGeneral() : backgroundColour(tessel::kDefaultBackgroundColour) {}

QSettings CTesselSettings::Store() {
    return QSettings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
}

CTesselSettings::SGeneral CTesselSettings::ReadGeneral() {
    QSettings settings = Store();
    settings.beginGroup(kGeneral);
    SGeneral general;
    bool ok = false;
    const int colour = settings.value(kBgColor).toInt(&ok);
    if (ok && colour >= 0) general.backgroundColour = static_cast<uint32_t>(colour) & 0xFFFFFF;
    general.sourceFolder = settings.value(kSrcFolder).toString();
    general.outputFolder = settings.value(kOutFolder).toString();
    return general;
}

void CTesselSettings::WriteGeneral(const SGeneral& general) {
    QSettings settings = Store();
    settings.beginGroup(kGeneral);
    settings.setValue(kBgColor, static_cast<int>(general.backgroundColour));
    if (!general.sourceFolder.isEmpty()) settings.setValue(kSrcFolder, general.sourceFolder);
    if (!general.outputFolder.isEmpty()) settings.setValue(kOutFolder, general.outputFolder);
}

CTesselSettings::SLayout CTesselSettings::ReadLayout() {
    QSettings settings = Store();
    settings.beginGroup(kLayout);
    SLayout layout;
    layout.geometry = settings.value(kGeometry).toByteArray();
    layout.state = settings.value(kState).toByteArray();
    layout.statusBar = settings.value(kStatusBar, true).toBool();
    return layout;
}

void CTesselSettings::WriteLayout(const SLayout& layout) {
    QSettings settings = Store();
    settings.beginGroup(kLayout);
    settings.setValue(kGeometry, layout.geometry);
    settings.setValue(kState, layout.state);
    settings.setValue(kStatusBar, layout.statusBar);
}

std::optional<QPoint> CTesselSettings::ReadProgressPosition() {
    QSettings settings = Store();
    settings.beginGroup(kProgress);
    bool okX = false, okY = false;
    const int x = settings.value(kX).toInt(&okX);
    const int y = settings.value(kY).toInt(&okY);
    if (!okX || !okY) return std::nullopt;
    return QPoint(x, y);
}

void CTesselSettings::WriteProgressPosition(const QPoint& position) {
    QSettings settings = Store();
    settings.beginGroup(kProgress);
    settings.setValue(kX, position.x());
    settings.setValue(kY, position.y());
}
