// The Program Map Table and its elementary streams.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/byte_io.h"

namespace tessel {

constexpr uint8_t kStreamTypeIg = 0x91;
constexpr uint8_t kStreamTypePg = 0x90;

struct SDescriptor {
    uint8_t tag = 0;
    std::vector<uint8_t> data;
};

// One elementary stream of the PMT.
struct ESI {
    uint8_t streamType = 0;
    uint16_t elementaryPid = 0;
    uint16_t esInfoLength = 0;
    std::vector<SDescriptor> descriptors;
};

// One Program Map Table section, gathered over the packets of PID 0x100.
class CEsiFolder {
public:
    // Largest section_length a PMT may declare.
    static constexpr uint16_t kMaxSectionLength = 1021;

    uint8_t tableId = 0;
    bool sectionSyntaxIndicator = false;
    uint16_t sectionLength = 0;
    uint16_t programNumber = 0;
    uint8_t versionNumber = 0;
    bool currentNextIndicator = false;
    uint8_t sectionNumber = 0;
    uint8_t lastSectionNumber = 0;
    uint16_t pcrPid = 0;
    uint16_t programInfoLength = 0;

    // Program descriptors.
    struct SRegistration {
        uint8_t length = 0;
        uint32_t formatIdentifier = 0;
    };
    struct SDescriptor88 {
        uint8_t length = 0;
        uint16_t head = 0;
        std::vector<uint8_t> rest;
    };
    std::optional<SRegistration> registration;
    std::optional<SDescriptor88> descriptor88;
    std::optional<SDescriptor> descriptor89;

    std::vector<ESI> streams;
    uint32_t crc32 = 0;

    // Starts a section from the reader at table_id; false (and nothing kept)
    // when the head does not fit or does not describe a PMT section.
    bool StartSection(CByteReader& r);
    // Appends section bytes from the reader (all of its remaining bytes or as
    // many as the section still lacks). Parses the body once complete.
    void AppendSection(CByteReader& r);

    bool Started() const { return started_; }
    // The whole section arrived.
    bool Complete() const { return complete_; }
    // Complete and its body parsed within its bounds.
    bool Valid() const { return valid_; }
    size_t Received() const { return body_.size(); }

    const ESI* FindStream(uint16_t pid) const;

private:
    bool ParseBody();

    std::vector<uint8_t> body_;
    size_t bodyLength_ = 0;
    bool started_ = false;
    bool complete_ = false;
    bool valid_ = false;
};

}  // namespace tessel
