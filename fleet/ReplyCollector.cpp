#include "fleet/ReplyCollector.h"

#include "link/Identification.h"

namespace mervane::fleet {

namespace {

constexpr size_t kTypeCodeOffset = 8;

}  // namespace

ReplyCollector::ReplyCollector(size_t capacity) : capacity_(capacity) {
    units_.reserve(std::min(capacity_, size_t{256}));
}

ReplyCollector::Verdict ReplyCollector::take(const sockaddr_in& source,
                                             std::span<const uint8_t> bytes, size_t length) {
    if (length > kFirstReplyMax) {
        ++oversized_;
        return Verdict::kOversized;
    }
    if (sources_.contains(source.sin_addr.s_addr)) return Verdict::kDuplicate;
    if (units_.size() >= capacity_) {
        ++beyondCap_;
        return Verdict::kBeyondCap;
    }
    sources_.insert(source.sin_addr.s_addr);
    DiscoveredUnit unit;
    unit.source = source;
    // As the identification reads it: a reply too short for the type code leaves zeros.
    if (length > kTypeCodeOffset + 1 && bytes.size() > kTypeCodeOffset + 1) {
        unit.typeCode = {static_cast<char>(bytes[kTypeCodeOffset]),
                         static_cast<char>(bytes[kTypeCodeOffset + 1])};
    }
    units_.push_back(unit);
    return Verdict::kNewUnit;
}

}  // namespace mervane::fleet
