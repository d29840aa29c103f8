// The evaluator: statements, the four expression levels, resolving and calling
// procedures, and the trampoline that runs tail calls in constant stack depth.
#include "evaluator.h"

#include <cmath>

#include "dictionary.h"
#include "name_codes.h"
#include "reader.h"

namespace qm {

namespace {

using Ip = Element*;

struct Call {
    tProcDesc* d = nullptr;
    tlogoobject* target = nullptr;
    int32_t level = 0;
    Ip nameEl = nullptr;
};

eLogoException unknownProcedure(int32_t code) {
    auto e = eLogoException::withNameCode(erDoNotKnowHowTo, code);
    e.name = nameCodes().textOf(code);
    return e;
}

// An element that cannot stand where it stands; the error shows it as written.
eLogoException wrongSequence(Ip ip) {
    std::string text = ip->kind == etRpar ? ")" : ip->kind == etLpar ? "(" : nameCodes().textOf(ip->code);
    if (ip->kind == etUnOp) text = ip->code == specialCodes().unaryMinus ? "-" : "+";
    if (ip->kind == etEnd) return eLogoException(erWrongSequence);
    return eLogoException(erWrongSequence, text, true);
}

// An object whose name is called runs its default action.
tProcDesc* objectFallback(ProcessContext& cx, tlogoobject* from, int32_t code, Call& c) {
    tlogoobject* obj = from ? from->FindNamedObject(code) : nullptr;
    if (obj && obj->HasDefaultAction()) {
        int32_t level = 0;
        tProcDesc* d = obj->FindProc(specialCodes().defaultAction, -1, level);
        if (d) {
            c.target = obj;
            c.level = level;
            return d;
        }
    }
    return nullptr;
}

void resolveBySearch(ProcessContext& cx, Ip& ip, Call& c) {
    try {
        if (ip->kind == etObjectPrefixFun) {
            tlogoobject* obj = cx.me ? cx.me->FindNamedObject(ip->code) : nullptr;
            if (!obj) throw eLogoException::withNameCode(erNoObject, ip->code);
            ++ip;
            while (ip->kind == etObjectPrefixFun) {
                tlogoobject* next = obj->FindNamedObject(ip->code);
                if (!next) throw eLogoException::withNameCode(erNoObject, ip->code);
                obj = next;
                ++ip;
            }
            c.nameEl = ip;
            c.target = obj;
            c.d = obj->FindProc(ip->code, -1, c.level);
            if (!c.d) c.d = objectFallback(cx, obj, ip->code, c);
            if (!c.d) throw unknownProcedure(ip->code);
            return;
        }
        if (ip->kind == etUsualPrefix) {
            c.nameEl = ip;
            c.target = nullptr;
            c.d = cx.me ? cx.me->FindProc(ip->code, cx.procLevel, c.level) : nullptr;
            if (!c.d) throw unknownProcedure(ip->code);
            return;
        }
        c.nameEl = ip;
        c.target = nullptr;
        // The ask table is searched first while it is set, then the current object. What the
        // two give is remembered at the call site; the fallbacks below are not. A change of
        // any table, the ask table's going away included, moves the generation on.
        const uint64_t generation = lookupGeneration();
        c.d = lookupProcedure(cx, ip->code, c.level);
        if (c.d) {
            ip->foundDesc = c.d;
            ip->foundMe = cx.me;
            ip->foundAsk = cx.askTable;
            ip->foundGeneration = generation;
            ip->foundLevel = c.level;
            return;
        }
        c.d = objectFallback(cx, cx.me, ip->code, c);
        if (!c.d) throw unknownProcedure(ip->code);
    } catch (eLogoException& e) {
        e.recordCalledProcedure(nameCodes().textOf(ip->code));
        throw;
    }
}

// A call site that found its procedure before, for the same current object and ask table,
// while nothing that lookup depends on has changed, takes it again (only plain calls are
// remembered).
inline void resolve(ProcessContext& cx, Ip& ip, Call& c) {
    if (ip->foundDesc && ip->foundMe == cx.me && ip->foundAsk == cx.askTable &&
        ip->foundGeneration == lookupGeneration()) {
        c.nameEl = ip;
        c.target = nullptr;
        c.d = ip->foundDesc;
        c.level = ip->foundLevel;
        return;
    }
    resolveBySearch(cx, ip, c);
}

bool comparison(ProcessContext& cx, Ip& ip);
bool sum(ProcessContext& cx, Ip& ip);
bool primary(ProcessContext& cx, Ip& ip);

// Evaluates the inputs of a resolved call; -1 when a stop came up meanwhile.
int32_t collectInputs(ProcessContext& cx, Ip& ip, Call& c) {
    ++ip;
    const bool full = c.d->funtype == etIfFun;
    int32_t n = 0;
    try {
        // A user procedure takes whatever stands in the parentheses and checks the count
        // itself, so (p 1 2 3) of a two-input procedure says "too many inputs".
        if ((c.d->varpar || c.d->userProcedure) && c.nameEl->afterParen) {
            while (ip->kind != etRpar && ip->kind != etEnd && !(!full && ip->kind == etRelOp)) {
                if (full ? comparison(cx, ip) : sum(cx, ip)) return -1;
                ++n;
            }
            return n;
        }
        for (; n < c.d->defpar; ++n) {
            if (ip->kind == etEnd) {
                auto e = eLogoException::withName(erNotEnoughInputs, c.d->NameText());
                throw e;
            }
            if (full ? comparison(cx, ip) : sum(cx, ip)) return -1;
        }
    } catch (eLogoException& e) {
        if (e.code == erDidNotReport) e.recordCalledProcedure(c.d->NameText());
        throw;
    }
    return n;
}

struct MeScope {
    ProcessContext& cx;
    bool active;
    MeScope(ProcessContext& cx, tlogoobject* target) : cx(cx), active(target != nullptr) {
        if (active) cx.pushMe(target);
    }
    ~MeScope() {
        if (active) cx.popMe();
    }
};

[[noreturn]] void didNotReport(tProcDesc* d) { throw eLogoException::withName(erDidNotReport, d->NameText()); }

// Closes the frame of an abandoned tail-call chain.
void dropPendingTail(ProcessContext& cx) {
    if (cx.pendingTail.desc) {
        cx.valueStack.discard(cx.pendingTail.n);
        cx.pendingTail = PendingTail();
        cx.localScope->closeFrame();
        cx.testResult = cx.savedTest;
    }
}

void reporterCall(ProcessContext& cx, const Call& c, int32_t n) {
    if (c.d->specialKind) didNotReport(c.d);
    cx.foundLevel = c.level;
    {
        MeScope scope(cx, c.target);
        try {
            c.d->callReporter(cx, n);
        } catch (eOutputException&) {
            didNotReport(c.d);
        } catch (eLogoException& e) {
            e.recordCalledProcedure(c.d->NameText());
            throw;
        }
    }
    if (!cx.pendingTail.desc && cx.valueStack.count() > 0 && cx.valueStack.at(0)) return;
    dropPendingTail(cx);
    cx.stopPending = 0;
    didNotReport(c.d);
}

// Answers true when a stop travels outwards.
bool commandCall(ProcessContext& cx, const Call& c, int32_t n, Ip ip) {
    if (c.d->specialKind == 1) {
        cx.valueStack.popInto(cx.outputValue);
        cx.stopPending = 1;
        return true;
    }
    if (c.d->specialKind == 2) {
        release(cx.outputValue);
        cx.outputValue = nullptr;
        cx.stopPending = 1;
        return true;
    }
    if (ip->kind == etEnd && cx.tailDepth == 1 && !c.target && c.d->userProcedure) {
        cx.pendingTail = PendingTail{c.d, nullptr, c.level, n};
        cx.stopPending = 1;
        return true;
    }
    cx.foundLevel = c.level;
    try {
        MeScope scope(cx, c.target);
        c.d->callCommand(cx, n);
        if (c.target && cx.pendingTail.desc) runTrampoline(cx);
    } catch (eLogoException& e) {
        e.recordCalledProcedure(c.d->NameText());
        throw;
    }
    if (cx.stopPending) {
        if (!cx.pendingTail.desc) return true;
        runTrampoline(cx);
        if (cx.stopPending) return true;
    }
    cx.valueStack.expectNoValue();
    return false;
}

bool primary(ProcessContext& cx, Ip& ip) {
    switch (ip->kind) {
    case etFun:
    case etIfFun:
    case etUnknownOp:
    case etObjectPrefixFun:
    case etUsualPrefix: {
        const bool outputs = ip == cx.outputOperand;
        if (outputs) cx.outputOperand = nullptr;
        Call c;
        resolve(cx, ip, c);
        int32_t n = collectInputs(cx, ip, c);
        if (n < 0) return true;
        // The whole input of output only when no operator takes the value further.
        if (outputs && c.d->userProcedure && ip->kind != etMulOp && ip->kind != etAddOp && ip->kind != etRelOp) {
            struct Clear {
                bool& flag;
                ~Clear() { flag = false; }
            } clear{cx.dropCallerBindings};
            cx.dropCallerBindings = true;
            reporterCall(cx, c, n);
            return false;
        }
        reporterCall(cx, c, n);
        return false;
    }
    case etAddOp:
        // A sign in operand position becomes the unary operator, once and for all.
        if (ip->code == specialCodes().minus) {
            ip->kind = etUnOp;
            ip->code = specialCodes().unaryMinus;
        } else if (ip->code == specialCodes().plus) {
            ip->kind = etUnOp;
            ip->code = specialCodes().unaryPlus;
        } else {
            throw eLogoException::withNameCode(erWrongSequence, ip->code);
        }
        [[fallthrough]];
    case etUnOp: {
        Call c;
        resolve(cx, ip, c);
        ++ip;
        if (primary(cx, ip)) return true;
        reporterCall(cx, c, 1);
        return false;
    }
    case etLpar:
        ++ip;
        if (comparison(cx, ip)) return true;
        if (ip->kind != etRpar) throw eLogoException(erMissingRpar);
        ++ip;
        return false;
    case etVariable:
        cx.valueStack.push(readVariable(cx, ip->code));
        ++ip;
        return false;
    case etConst:
        cx.valueStack.push(ip->value);
        ++ip;
        return false;
    default:
        throw wrongSequence(ip);
    }
}

// The operators that the number types answer and the evaluator may compute itself.
enum NumberOperator : int8_t { noNone, noAdd, noSub, noMul, noDiv, noLess, noGreater, noLessEq, noGreaterEq, noEqual, noNotEqual };

// A descriptor that sends +, -, *, /, or a comparison to the type of its first input
// does, for two numbers, exactly what the number types' methods do; any other
// descriptor (an object's own "+", say) is called as usual.
int8_t numberOperatorOf(tProcDesc* d) {
    if (!dynamic_cast<tObjectProc1Desc*>(d)) return noNone;
    static const char* const kNames[] = {"+", "-", "*", "/", "<", ">", "<=", ">=", "=", "<>"};
    for (int8_t i = 0; i < 10; ++i)
        if (d->nameCode == nameCodes().codeOf(kNames[i])) return static_cast<int8_t>(i + 1);
    return noNone;
}

// Two integer or real inputs on top of the stack: the result as the number types give
// it (integers overflow into reals; a real result that is not finite, and division by
// zero, are left to the methods, which raise the errors). Answers false when it did
// nothing.
bool computeNumbers(ProcessContext& cx, int8_t op) {
    if (cx.valueStack.count() < 2) return false;
    tlogoobject* a = cx.valueStack.at(1);
    tlogoobject* b = cx.valueStack.at(0);
    if (!a || !b) return false;
    tlogoobject* r;
    if (a->vkind == ValueKind::Int && b->vkind == ValueKind::Int) {
        const int64_t x = static_cast<tLogoInt*>(a)->value, y = static_cast<tLogoInt*>(b)->value;
        switch (op) {
        case noAdd: r = makeNumber(x + y); break;
        case noSub: r = makeNumber(x - y); break;
        case noMul: r = makeNumber(x * y); break;
        case noDiv:
            if (y == 0) return false;
            r = makeReal(static_cast<LReal>(x) / static_cast<LReal>(y));
            break;
        case noLess: r = makeBool(x < y); break;
        case noGreater: r = makeBool(x > y); break;
        case noLessEq: r = makeBool(x <= y); break;
        case noGreaterEq: r = makeBool(x >= y); break;
        case noEqual: r = makeBool(x == y); break;
        case noNotEqual: r = makeBool(x != y); break;
        default: return false;
        }
    } else {
        auto realOf = [](tlogoobject* v, LReal& out) {
            if (v->vkind == ValueKind::Int) out = static_cast<tLogoInt*>(v)->value;
            else if (v->vkind == ValueKind::Real) out = static_cast<tLogoReal*>(v)->value;
            else return false;
            return true;
        };
        LReal x, y, z;
        if (!realOf(a, x) || !realOf(b, y)) return false;
        switch (op) {
        case noAdd: z = x + y; break;
        case noSub: z = x - y; break;
        case noMul: z = x * y; break;
        case noDiv:
            if (y == 0) return false;
            z = x / y;
            break;
        case noLess: r = makeBool(x < y); goto done;
        case noGreater: r = makeBool(x > y); goto done;
        case noLessEq: r = makeBool(x <= y); goto done;
        case noGreaterEq: r = makeBool(x >= y); goto done;
        case noEqual: r = makeBool(x == y); goto done;
        case noNotEqual: r = makeBool(x != y); goto done;
        default: return false;
        }
        if (!std::isfinite(z)) return false;
        r = makeReal(z);
    }
done:
    cx.valueStack.replaceTopTwo(r);
    // Where the method would have been found: the type's own table.
    cx.foundLevel = 0;
    return true;
}

bool binaryOperator(ProcessContext& cx, Ip& ip, bool (*operand)(ProcessContext&, Ip&)) {
    Call c;
    resolve(cx, ip, c);
    ++ip;
    // An operator with nothing after it lacks an input, like any other call.
    if (ip->kind == etEnd) throw eLogoException::withName(erNotEnoughInputs, nameCodes().textOf(c.nameEl->code));
    if (operand(cx, ip)) return true;
    if (c.d->numberOperator < 0) c.d->numberOperator = numberOperatorOf(c.d);
    if (c.d->numberOperator != noNone && !c.target && computeNumbers(cx, c.d->numberOperator)) return false;
    reporterCall(cx, c, 2);
    return false;
}

bool product(ProcessContext& cx, Ip& ip) {
    if (primary(cx, ip)) return true;
    while (ip->kind == etMulOp)
        if (binaryOperator(cx, ip, primary)) return true;
    return false;
}

bool sum(ProcessContext& cx, Ip& ip) {
    if (product(cx, ip)) return true;
    while (ip->kind == etAddOp)
        if (binaryOperator(cx, ip, product)) return true;
    return false;
}

bool comparison(ProcessContext& cx, Ip& ip) {
    if (sum(cx, ip)) return true;
    if (ip->kind == etRelOp) return binaryOperator(cx, ip, sum);
    return false;
}

bool statement(ProcessContext& cx, Ip& ip) {
    switch (ip->kind) {
    case etFun:
    case etIfFun:
    case etUnknownOp:
    case etObjectPrefixFun:
    case etUsualPrefix: {
        Call c;
        resolve(cx, ip, c);
        // Only in a procedure body (not in a list it runs, which catch may guard): there output
        // ends the procedure, whatever its input does.
        const bool outputHere = c.d->specialKind == 1 && cx.tailDepth == 1;
        if (outputHere) cx.outputOperand = ip + 1;
        int32_t n;
        try {
            n = collectInputs(cx, ip, c);
        } catch (...) {
            if (outputHere) cx.outputOperand = nullptr;
            throw;
        }
        if (outputHere) cx.outputOperand = nullptr;
        if (n < 0) return true;
        return commandCall(cx, c, n, ip);
    }
    case etLpar: {
        ++ip;
        bool stop = statement(cx, ip);
        if (stop) return true;
        if (ip->kind != etRpar) throw eLogoException(erMissingRpar);
        ++ip;
        return false;
    }
    case etVariable:
        cx.valueStack.push(readVariable(cx, ip->code));
        ++ip;
        cx.valueStack.expectNoValue();
        return false;
    case etConst:
        cx.valueStack.push(ip->value);
        ++ip;
        cx.valueStack.expectNoValue();
        return false;
    default:
        throw wrongSequence(ip);
    }
}

struct BlockRun {
    ElementBlock* block;
    explicit BlockRun(ElementBlock* b) : block(b) { ++b->runs; }
    ~BlockRun() {
        if (--block->runs == 0 && block->orphaned) delete block;
    }
};

struct DepthGuard {
    int32_t& depth;
    explicit DepthGuard(int32_t& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
};

void enterRun(ProcessContext& cx) {
    if (cx.yieldPoint) cx.yieldPoint(cx);
    if (cx.evalDepth > kMaxEvalDepth) throw eLogoException(erStackOverflow);
}

} // namespace

tProcDesc* lookupProcedure(ProcessContext& cx, int32_t code, int32_t& level) {
    if (cx.askTable) {
        if (tTabDesc* e = cx.askTable->FindEntry(code)) {
            level = 0;
            return static_cast<tProcDesc*>(e);
        }
    }
    return cx.me ? cx.me->FindProc(code, -1, level) : nullptr;
}

void runTrampoline(ProcessContext& cx) {
    try {
        do {
            PendingTail t = cx.pendingTail;
            cx.pendingTail = PendingTail();
            cx.stopPending = 0;
            cx.foundLevel = t.level;
            try {
                t.desc->callTail(cx, t.n);
            } catch (eLogoException& e) {
                e.recordCalledProcedure(t.desc->NameText());
                throw;
            }
        } while (cx.stopPending && cx.pendingTail.desc);
    } catch (...) {
        cx.pendingTail = PendingTail();
        cx.localScope->closeFrame();
        cx.testResult = cx.savedTest;
        throw;
    }
    cx.localScope->closeFrame();
    cx.testResult = cx.savedTest;
}

void runBlock(ProcessContext& cx, ElementBlock* block) {
    enterRun(cx);
    DepthGuard depth(cx.evalDepth);
    DepthGuard tail(cx.tailDepth);
    BlockRun guard(block);
    Ip ip = block->elements.data();
    try {
        while (ip->kind != etEnd)
            if (statement(cx, ip)) break;
    } catch (eLogoException& e) {
        e.addPosition(static_cast<int32_t>(ip - block->elements.data()) + 1);
        throw;
    }
}

tlogoobject* evaluateBlock(ProcessContext& cx, ElementBlock* block) {
    enterRun(cx);
    DepthGuard depth(cx.evalDepth);
    BlockRun guard(block);
    Ip ip = block->elements.data();
    try {
        if (ip->kind == etEnd) throw eLogoException(erWrongSequence);
        if (comparison(cx, ip)) return nullptr;
        if (ip->kind != etEnd) {
            if (comparison(cx, ip)) return nullptr;
            cx.valueStack.expectNoValue();
        }
    } catch (eLogoException& e) {
        e.addPosition(static_cast<int32_t>(ip - block->elements.data()) + 1);
        throw;
    }
    return cx.valueStack.popUnheld();
}

void runList(ProcessContext& cx, tlogoobject* code) {
    Ref<tlogoobject> keep = code;
    runBlock(cx, code->Compile(kCompileInstructions));
}

tlogoobject* evaluateList(ProcessContext& cx, tlogoobject* code) {
    Ref<tlogoobject> keep = code;
    return evaluateBlock(cx, code->Compile(kCompileInstructions));
}

void runText(ProcessContext& cx, std::string_view text) {
    int32_t height = cx.valueStack.count();
    try {
        Ref<tLogoList> code = parse(text);
        runBlock(cx, code->Compile(kCompileInstructions));
    } catch (...) {
        cx.valueStack.truncate(height);
        throw;
    }
    cx.valueStack.truncate(height);
}

void callAsCommand(ProcessContext& cx, tProcDesc* d, tlogoobject* target, int32_t level, int32_t n) {
    Call c{d, target, level, nullptr};
    static Element end{etEnd, false, 0, nullptr};
    // Called from a primitive, never a tail position.
    int32_t saved = cx.tailDepth;
    cx.tailDepth = 2;
    try {
        commandCall(cx, c, n, &end);
    } catch (...) {
        cx.tailDepth = saved;
        throw;
    }
    cx.tailDepth = saved;
}

void callAsReporter(ProcessContext& cx, tProcDesc* d, tlogoobject* target, int32_t level, int32_t n) {
    Call c{d, target, level, nullptr};
    reporterCall(cx, c, n);
}

} // namespace qm
