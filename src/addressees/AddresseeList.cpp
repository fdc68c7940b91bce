#include "addressees/AddresseeList.h"

#include <algorithm>
#include <cassert>

namespace kuvrion {

Addressee& AddresseeList::PersonByIndex(std::int32_t iIndex)
{
    assert(iIndex >= 0 && iIndex < Count());
    return *oPerson[static_cast<std::size_t>(iIndex)];
}

const Addressee& AddresseeList::PersonByIndex(std::int32_t iIndex) const
{
    assert(iIndex >= 0 && iIndex < Count());
    return *oPerson[static_cast<std::size_t>(iIndex)];
}

std::shared_ptr<Addressee> AddresseeList::PersonByID(const std::string& sID)
{
    // IDs are distinct, so the index finds the same entry a scan in insertion order would.
    if (auto it = m_index.find(sID); it != m_index.end())
        return oPerson[static_cast<std::size_t>(it->second)];

    auto person = std::make_shared<Addressee>();
    person->PersID(sID);
    // The list grows before the index, so that running out of memory in either leaves list and
    // index in step; the append then cannot fail.
    if (oPerson.size() == oPerson.capacity())
        oPerson.reserve(std::max<std::size_t>(16, oPerson.size() * 2));
    m_index.emplace(sID, Count());
    oPerson.push_back(person);
    return person;
}

void AddresseeList::Clear()
{
    oPerson.clear();
    oPerson.shrink_to_fit();
    m_index.clear();
}

} // namespace kuvrion
