// Font records of turtles and their Logo form.
#include "graphics/surface/font_record.h"

#include "language.h"
#include "logo_error.h"

namespace qm {

namespace {

std::string faceText(tlogoobject* v) {
    std::string face;
    if (v->IsList()) {
        for (tLogoList* c = static_cast<tLogoList*>(v); c && c->element; c = c->rest) {
            if (!face.empty()) face += ' ';
            face += c->element->PrintText(true);
        }
    } else {
        face = v->GetText();
    }
    if (face.size() > 31) face.resize(31);
    return face;
}

bool isEmptyList(tlogoobject* v) { return v->IsList() && v->IsEmpty(); }

} // namespace

FontRecord applyFontValue(const FontRecord& current, tlogoobject* value) {
    if (!value->IsList()) {
        FontRecord r = current;
        r.face = faceText(value);
        return r;
    }
    if (value->IsEmpty()) return FontRecord{};
    auto* list = static_cast<tLogoList*>(value);
    FontRecord r = current;
    r.face = faceText(list->element);
    tLogoList* rest = list->rest;
    if (!rest || !rest->element) return r;
    if (rest->rest && rest->rest->element) throw eLogoException(erBadStructure, value);
    tlogoobject* detail = rest->element;
    if (!detail->IsList()) throw eLogoException(erExpectList, detail);
    int i = 0;
    for (tLogoList* c = static_cast<tLogoList*>(detail); c && c->element; c = c->rest, ++i) {
        tlogoobject* e = c->element;
        if (i >= 6) throw eLogoException(erBadStructure, detail);
        if (isEmptyList(e)) continue;
        switch (i) {
        case 0: r.size = e->ToIntRange(0, 16384); break;
        case 1: {
            const int w = e->ToIntRange(0, 900);
            if (w >= 600) r.style |= FontRecord::kBold;
            else if (w >= 1) r.style &= ~FontRecord::kBold;
            break;
        }
        case 2: {
            const int s = e->ToIntRange(0, 7);
            r.style = static_cast<std::uint8_t>((r.style & FontRecord::kBold) | (s << 1));
            break;
        }
        case 3: r.flags = static_cast<std::uint8_t>((r.flags & ~FontRecord::kOpaque) | e->ToIntRange(0, 1)); break;
        case 4:
            r.flags = static_cast<std::uint8_t>((r.flags & ~FontRecord::kBaseline) | (e->ToIntRange(0, 1) << 1));
            break;
        case 5: r.charset = static_cast<std::uint8_t>(e->ToIntRange(0, 255)); break;
        }
    }
    return r;
}

tLogoList* fontValue(const FontRecord& r) {
    ListBuilder face;
    std::size_t start = 0;
    while (start <= r.face.size()) {
        const std::size_t space = r.face.find(' ', start);
        const std::size_t end = space == std::string::npos ? r.face.size() : space;
        if (end > start) face.append(makeRawWord(r.face.substr(start, end - start)));
        if (space == std::string::npos) break;
        start = space + 1;
    }
    ListBuilder detail;
    detail.append(makeInt(r.size));
    detail.append(makeInt((r.style & FontRecord::kBold) ? 700 : 400));
    detail.append(makeInt((r.style >> 1) & 7));
    detail.append(makeInt(r.flags & FontRecord::kOpaque));
    detail.append(makeInt((r.flags & FontRecord::kBaseline) >> 1));
    detail.append(makeInt(r.charset));
    ListBuilder out;
    out.append(face.finish());
    out.append(detail.finish());
    return out.finish();
}

bool isSystemFace(const FontRecord& r) { return r.face.empty() || sameName(r.face, "System"); }

FontRequest fontRequestOf(const FontRecord& r) {
    FontRequest q;
    // Not looked up by name: a font file called "System" need not hold usable outlines.
    q.family = isSystemFace(r) ? "DejaVu Sans" : r.face;
    q.height = r.size == 0 ? 0 : -static_cast<int>((static_cast<std::int64_t>(r.size) * 96 + 36) / 72);
    q.bold = r.style & FontRecord::kBold;
    q.italic = r.style & FontRecord::kItalic;
    q.underline = r.style & FontRecord::kUnderline;
    q.strikeOut = r.style & FontRecord::kStrikeOut;
    return q;
}

} // namespace qm
