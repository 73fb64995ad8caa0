// A PG (subtitle) stream as nodes of the disc tree: the stream with its
// events, and one node per event, so that both front ends show and write
// the same events.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "model/named_object.h"
#include "platform/result.h"
#include "platform/text.h"
#include "subtitle/pg_events.h"

namespace tessel {

class CPgStreamObject;

// One event of its stream (the parent); named by its times.
class CPgEventObject : public CNamedObject {
public:
    const SPgEvent& Event() const { return *event_; }
    // The stream's video (frame size and rate).
    const SVideoDescriptor& Video() const;
    const CPgStreamObject& Stream() const;

private:
    friend class CPgStreamObject;
    const SPgEvent* event_ = nullptr;
};

class CPgStreamObject : public CNamedPtrArray<CPgEventObject> {
public:
    void Clear() override;

    // Reads a PG stream (marked form, or bare) and builds its events, one
    // child per event named "<start> – <end>". A failure names source (its
    // message "<source>: <why> (at byte N)"); an Interactive Graphics stream
    // is refused.
    CResult Build(std::span<const uint8_t> stream, bool bare, const std::string& source);

    int pid = 0;
    SPgEvents events;
};

// "<start> – <end>" of an event in clock time.
std::string EventTimes(const SPgEvent& event);

}  // namespace tessel
