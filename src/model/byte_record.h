// A node of the menu tree read from and written to its syntax bytes: Parse,
// Write and CopyFrom come from the node's ParseFrom, WriteTo and CopyAll.
#pragma once

#include <cstdint>
#include <span>

#include "model/named_object.h"
#include "platform/byte_io.h"

namespace tessel {

template <class Derived, class Base = CNamedObject>
class TByteRecord : public Base {
public:
    void CopyFrom(const CNamedObject& other) override { Self().CopyAll(other); }
    int Parse(std::span<const uint8_t> data, int mode) override {
        CByteReader r(data);
        return Self().ParseFrom(r, mode) ? static_cast<int>(r.Pos()) : -1;
    }
    int Write(uint8_t* buffer, int mode) override {
        CByteWriter w(buffer);
        Self().WriteTo(w, mode);
        return static_cast<int>(w.Pos());
    }

private:
    Derived& Self() { return static_cast<Derived&>(*this); }
};

}  // namespace tessel
