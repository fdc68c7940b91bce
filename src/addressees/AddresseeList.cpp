#include "addressees/AddresseeList.h"

#include <algorithm>
#include <cassert>

namespace kuvrion {

Addressee& AddresseeList::At(std::int32_t position)
{
    assert(position >= 0 && position < Count());
    return *m_addressees[static_cast<std::size_t>(position)];
}

const Addressee& AddresseeList::At(std::int32_t position) const
{
    assert(position >= 0 && position < Count());
    return *m_addressees[static_cast<std::size_t>(position)];
}

std::shared_ptr<Addressee> AddresseeList::FindOrAdd(const std::string& id)
{
    // IDs are distinct, so the index finds the same entry a scan in insertion order would.
    if (auto it = m_index.find(id); it != m_index.end())
        return m_addressees[static_cast<std::size_t>(it->second)];

    auto person = std::make_shared<Addressee>();
    person->Id(id);
    // The list grows before the index, so that running out of memory in either leaves list and
    // index in step; the append then cannot fail.
    if (m_addressees.size() == m_addressees.capacity())
        m_addressees.reserve(std::max<std::size_t>(16, m_addressees.size() * 2));
    m_index.emplace(id, Count());
    m_addressees.push_back(person);
    return person;
}

void AddresseeList::Clear()
{
    m_addressees.clear();
    m_addressees.shrink_to_fit();
    m_index.clear();
}

} // namespace kuvrion
