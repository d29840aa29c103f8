// The shared method tables of the value types and the main object's primitives that
// send operations to them.
#pragma once

#include "main_object.h"

namespace qm {

// Builds the tables of strings, integers, reals, booleans and lists.
void buildValueMethodTables();
void destroyValueMethodTables();
// The main object's rows that send value operations to an input's type.
void registerValueOperations(tMainLogoObject& main);

// Families that add to the tables (each file registers its own rows).
struct ValueTables {
    tLogoTab* strings;
    tLogoTab* ints;
    tLogoTab* reals;
    tLogoTab* bools;
    tLogoTab* lists;
};
ValueTables valueTables();

} // namespace qm
