// One clip of a disc that carries an Interactive Graphics menu: its IG
// streams decoded into menu trees, and the rip of their pictures.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/ig_object.h"

namespace tessel {

class CClpiObject;
class CProgressWnd;

class CTlM2tsObject : public CNamedObject {
public:
    CTlM2tsObject();
    ~CTlM2tsObject() override;

    const char* ClassName() const override { return "CTlM2tsObject"; }
    // Destroys the IG objects and the clip information; id and name stay.
    void Clear() override;

    // Demuxes every IG PID of the clip's PMT and builds one IG object per PID.
    // 0 success, 1 cancelled, 2 failure (the user has been told why).
    int ParseClip(const std::string& path, CProgressWnd* progress);
    // Writes every epoch's pictures below the clip folder; false after a
    // folder could not be made (the message has been shown).
    bool RipImages(std::string clipFolder);

    std::unique_ptr<CClpiObject> clipInfo;
    std::vector<std::unique_ptr<CIgObject>> igObjects;
};

}  // namespace tessel
