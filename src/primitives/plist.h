// Property lists: the project-wide table of named lists of property/value pairs that
// pprop and gprop use, with the flags the burying primitives set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "value.h"

namespace qm {

class PropertyTable {
public:
    // A value that is the empty list removes the property instead.
    void put(const std::string& list, const std::string& prop, tlogoobject* value);
    tlogoobject* get(const std::string& list, const std::string& prop) const;  // nil when absent
    void remove(const std::string& list, const std::string& prop);
    // [prop1 value1 prop2 value2 ...] in slot order; the empty list when absent.
    tLogoList* pairsOf(const std::string& list) const;
    // Replaces all pairs of the list from [name value name value ...].
    void setPairs(const std::string& list, tLogoList* pairs);
    bool exists(const std::string& list) const;
    void erase(const std::string& list);
    // Names of the lists the listings show (not hidden; buried only when showBuried).
    std::vector<std::string> names(bool showBuried) const;
    // The flags of a named list (tfBuried, tfHidden); error 45 for an unknown list.
    void setFlag(const std::string& list, uint8_t flag, bool on);
    bool hasFlag(const std::string& list, uint8_t flag) const;
    // The pps lines of one list, or of every list when the name is empty.
    std::string listing(const std::string& list) const;
    // setplist instructions that recreate the table, one per non-empty list.
    std::string saveText() const;
    void clear() { m_lists.clear(); }

private:
    struct Pair {
        std::string name, key;
        Ref<tlogoobject> value;  // nil marks an empty slot
    };
    struct List {
        std::string name, key;
        uint8_t flags = 0;
        std::vector<Pair> pairs;
        bool used = false;
    };
    List* find(const std::string& list);
    const List* find(const std::string& list) const;
    List& findOrCreate(const std::string& list);
    void setInList(List& l, const std::string& prop, tlogoobject* value);
    void removeInList(List& l, const std::string& prop);
    void dropIfEmpty(List& l);

    std::vector<List> m_lists;  // slots; an unused slot has used == false
};

PropertyTable& propertyTable();

} // namespace qm
