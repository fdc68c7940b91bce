#include "addressees/cKVPersons.h"

#include <stdexcept>

namespace kuvrion {

cKVPerson& cKVPersons::PersonByIndex(std::int32_t iIndex)
{
    if (iIndex < 0 || iIndex >= Count())
        throw std::out_of_range("cKVPersons::PersonByIndex: index out of range");
    return *oPerson[static_cast<std::size_t>(iIndex)];
}

const cKVPerson& cKVPersons::PersonByIndex(std::int32_t iIndex) const
{
    if (iIndex < 0 || iIndex >= Count())
        throw std::out_of_range("cKVPersons::PersonByIndex: index out of range");
    return *oPerson[static_cast<std::size_t>(iIndex)];
}

std::shared_ptr<cKVPerson> cKVPersons::PersonByID(const std::string& sID)
{
    // IDs are distinct, so the index finds the same entry a scan in insertion order would.
    if (auto it = m_index.find(sID); it != m_index.end())
        return oPerson[static_cast<std::size_t>(it->second)];

    auto person = std::make_shared<cKVPerson>();
    person->PersID(sID);
    const auto it = m_index.emplace(sID, Count()).first;
    try {
        oPerson.push_back(person);
    } catch (...) {
        // Keep list and index in step when the list cannot grow.
        m_index.erase(it);
        throw;
    }
    return person;
}

void cKVPersons::Clear()
{
    oPerson.clear();
    oPerson.shrink_to_fit();
    m_index.clear();
}

} // namespace kuvrion
