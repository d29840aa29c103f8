// Text output: print, show, type and printline.
#include "primitives.h"
#include "registry.h"

namespace qm {

namespace {

void write(ProcessContext& cx, const std::string& text) {
    if (cx.output) cx.output->write(text);
}

std::string joined(ProcessContext& cx, int32_t n, bool show, const char* sep) {
    std::string s;
    for (int32_t i = 0; i < n; ++i) {
        if (i) s += sep;
        tlogoobject* v = input(cx, n, i);
        s += show ? v->ShowText(true) : v->PrintText(false);
    }
    return s;
}

void primPrint(ProcessContext& cx, int32_t n) {
    write(cx, joined(cx, n, false, " ") + "\r\n");
    finish(cx, n, nullptr);
}

void primShow(ProcessContext& cx, int32_t n) {
    write(cx, joined(cx, n, true, " ") + "\r\n");
    finish(cx, n, nullptr);
}

void primType(ProcessContext& cx, int32_t n) {
    write(cx, joined(cx, n, false, ""));
    finish(cx, n, nullptr);
}

// Each input on its own line, and each element of a list input on its own line.
void primPrintline(ProcessContext& cx, int32_t n) {
    std::string s;
    for (int32_t i = 0; i < n; ++i) {
        tlogoobject* v = input(cx, n, i);
        if (v->IsList()) {
            auto* l = static_cast<tLogoList*>(v);
            for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) s += c->element->PrintText(false) + "\r\n";
        } else {
            s += v->PrintText(false) + "\r\n";
        }
    }
    write(cx, s);
    finish(cx, n, nullptr);
}

const PrimitiveRow kTextPrimitives[] = {
    {"type", DescKind::Main, 1, true, etIfFun, primType},
    {"print", DescKind::Main, 1, true, etIfFun, primPrint},
    {"printline", DescKind::Main, 1, true, etIfFun, primPrintline},
    {"show", DescKind::Main, 1, true, etIfFun, primShow},
};

const PrimitiveRow kOutputStop[] = {
    {"output", DescKind::Output, 1, false, etIfFun, nullptr},
    {"stop", DescKind::Stop, 0, false, etIfFun, nullptr},
};

} // namespace

void registerTextPrimitives(tMainLogoObject& main) {
    addPrimitives(main.procedures, kTextPrimitives);
    addPrimitives(main.procedures, kOutputStop);
}

} // namespace qm
