// Building descriptors from primitive rows.
#include "registry.h"

#include "dictionary.h"
#include "name_codes.h"

namespace qm {

static std::vector<int32_t> rowCodes(const char* name, bool literal) {
    if (literal) return {nameCodes().intern(name)};
    return codesOf(name);
}

void addPrimitives(tLogoTab& table, const PrimitiveRow* rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const PrimitiveRow& r = rows[i];
        for (int32_t code : rowCodes(r.name, r.literal)) {
            tProcDesc* d = nullptr;
            switch (r.kind) {
            case DescKind::Main: d = new tMainPasProcDesc(code, r.defpar, r.varpar, r.funtype, r.handler); break;
            case DescKind::SendEnd: d = new tObjectProcEndDesc(code, r.defpar, r.varpar, r.funtype); break;
            case DescKind::SendFirst: d = new tObjectProc1Desc(code, r.defpar, r.varpar, r.funtype); break;
            case DescKind::SendN: d = new tObjectProcNDesc(code, r.defpar, r.varpar, r.funtype, r.depth); break;
            case DescKind::Output: d = new tOutput(code); break;
            case DescKind::Stop: d = new tStop(code); break;
            }
            table.add(d);
        }
    }
}

void addMethods(tLogoTab& table, const MethodRow* rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const MethodRow& r = rows[i];
        for (int32_t code : rowCodes(r.name, r.literal))
            table.add(new tPasProcRoot(code, r.defpar, r.funtype, r.handler));
    }
}

} // namespace qm
