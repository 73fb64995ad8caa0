// What the main window asks of the application object: the one disc, the
// folders of the last open and the dialogs, and the background colour.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "ui/tessel_settings.h"

namespace tessel {
class CTlDisc;
}

class IAppHost {
public:
    static constexpr const char* kCompany = CTesselSettings::kOrganisation;
    static constexpr const char* kProduct = CTesselSettings::kApplication;
    static const char* Version();

    virtual ~IAppHost() = default;

    virtual tessel::CTlDisc& Disc() = 0;
    // The disc of a successful scan in place of the one open (deleted).
    virtual void ReplaceDisc(std::unique_ptr<tessel::CTlDisc> disc) = 0;

    virtual uint32_t BackgroundColour() const = 0;
    virtual void SetBackgroundColour(uint32_t colourValue) = 0;
    virtual const QString& CurrentFolder() const = 0;
    virtual void SetCurrentFolder(const QString& folder) = 0;
    virtual const QString& SourceFolder() const = 0;
    virtual void SetSourceFolder(const QString& folder) = 0;
    virtual const QString& OutputFolder() const = 0;
    virtual void SetOutputFolder(const QString& folder) = 0;
};
