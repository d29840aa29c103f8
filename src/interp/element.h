// Element blocks: the compiled form of a list or word of Logo code, cached on the value.
#pragma once

#include <cstdint>
#include <vector>

#include "value.h"

namespace qm {

enum ElementTypes : uint8_t {
    etFun,
    etIfFun,
    etRelOp,
    etUnOp,
    etAddOp,
    etMulOp,
    etUnknownOp,
    etLpar,
    etRpar,
    etVariable,
    etConst,
    etEnd,
    etObjectPrefixFun,
    etUsualPrefix,
};

class tProcDesc;

struct Element {
    ElementTypes kind;
    // Set when the element before is "(" (or a flagged prefix): the call may take a
    // variable number of inputs.
    bool afterParen = false;
    int32_t code = 0;                // a name code
    tlogoobject* value = nullptr;    // etConst: held by the block
    // A call site remembers the procedure it found last, for which current object and ask
    // table and at which lookup generation (see tables.h); a later call under the same three
    // takes it without searching. Written only by the process that holds the global lock.
    tProcDesc* foundDesc = nullptr;
    tlogoobject* foundMe = nullptr;
    const void* foundAsk = nullptr;
    uint64_t foundGeneration = 0;
    int32_t foundLevel = 0;
};

struct ElementBlock {
    std::vector<Element> elements;   // the last is always etEnd
    bool literal = false;
    // A block that is replaced while it runs is freed when its last run ends.
    int32_t runs = 0;
    bool orphaned = false;
    ~ElementBlock();
};

// Compile kinds.
constexpr int kCompileInstructions = 0;
constexpr int kCompileBody = 2;
constexpr int kCompileCase = 3;

ElementBlock* compileValue(tlogoobject* value, int kind);
void freeBlock(ElementBlock* block);

} // namespace qm
