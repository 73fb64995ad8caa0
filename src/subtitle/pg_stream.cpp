#include "subtitle/pg_stream.h"

#include "codec/display_set.h"
#include "platform/text.h"

namespace tessel {

const CPgStreamObject& CPgEventObject::Stream() const {
    return *static_cast<const CPgStreamObject*>(parent);
}

const SVideoDescriptor& CPgEventObject::Video() const {
    return Stream().events.video;
}

void CPgStreamObject::Clear() {
    CNamedPtrArray<CPgEventObject>::Clear();
    events = SPgEvents();
}

CResult CPgStreamObject::Build(std::span<const uint8_t> stream, bool bare,
                               const std::string& source) {
    Clear();
    CMemorySource bytes(stream);
    CEpochList epochs;
    SStreamInfo info;
    if (!ReadStream(epochs, bytes, bare, &info))
        return CResult::Fail(info.error.Text(), info.error.Offset(), source);
    if (info.interactive)
        return CResult::Fail("an Interactive Graphics stream, not subtitles", -1, source);
    BuildPgEvents(epochs, events);
    for (size_t i = 0; i < events.events.size(); ++i) {
        auto node = std::make_unique<CPgEventObject>();
        node->event_ = &events.events[i];
        node->id = static_cast<int32_t>(i + 1);
        node->name = EventTimes(events.events[i]);
        Append(std::move(node));
    }
    return {};
}

std::string EventTimes(const SPgEvent& event) {
    return ClockTime(event.startPts) + " \u2013 " + ClockTime(event.endPts);
}

}  // namespace tessel
