// The addressees of one import in order of first appearance, with find-or-create by ID.
// IDs are compared exactly (byte for byte, case-sensitive). A hash index beside the ordered list
// keeps FindOrAdd constant-time, so imports with 100,000 addressees stay linear.
#pragma once

#include "addressees/Addressee.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kuvrion {

class AddresseeList {
public:
    std::int32_t Count() const { return static_cast<std::int32_t>(m_addressees.size()); }
    // 0-based; position must lie in 0..Count()-1.
    Addressee& At(std::int32_t position);
    const Addressee& At(std::int32_t position) const;
    // The addressee with that ID, created and appended when there is none. Never null.
    std::shared_ptr<Addressee> FindOrAdd(const std::string& id);
    void Clear();

private:
    std::vector<std::shared_ptr<Addressee>> m_addressees;
    std::unordered_map<std::string, std::int32_t> m_index; // ID -> index in m_addressees
};

} // namespace kuvrion
