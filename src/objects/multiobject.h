// Objects: the object record with its tables and lookup chains, names and paths, object
// variables with their accessors, behaviours, pseudo-variables and erasing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "context.h"
#include "tables.h"

namespace qm {

class tmultiobject;
class tcontainerobject;

// Kinds of an object's variable entries (tLogoVarDesc::kind).
constexpr uint8_t kOwnVariable = 2;
constexpr uint8_t kCommonVariable = 3;

class tLogoEventTab : public tLogoVarTab {
public:
    using tLogoVarTab::tLogoVarTab;

protected:
    eLogoException missing(int32_t code) const override;
};

// A child entry of a container: name -> object.
class tlogoobjectdesc : public tTabDesc {
public:
    tlogoobjectdesc(int32_t code, tmultiobject* obj);
    ~tlogoobjectdesc() override;
    tmultiobject* object;  // held
    tlogoobject* Value() override;
};

class tLogoObjectsTab : public tLogoTab {
public:
    using tLogoTab::tLogoTab;
    tmultiobject* child(int32_t code) const {
        tTabDesc* e = FindEntry(code);
        return e ? static_cast<tlogoobjectdesc*>(e)->object : nullptr;
    }

protected:
    eLogoException missing(int32_t code) const override;
};

// A native setting seen as a variable: reading runs the getter, writing the setter,
// each with the object it belongs to. Registered per class under a property code.
using PseudoGetter = tlogoobject* (*)(tmultiobject* self);  // a fresh value
using PseudoSetter = void (*)(tmultiobject* self, tlogoobject* value);

class tPseudoVarDesc : public tLogoVarDesc {
public:
    tPseudoVarDesc(int32_t code, tmultiobject* owner, int32_t row, PseudoGetter g, PseudoSetter s)
        : tLogoVarDesc(code), owner(owner), row(row), getter(g), setter(s) {}
    tmultiobject* owner;  // not held: the entry lives in the owner's own table
    int32_t row;
    PseudoGetter getter;
    PseudoSetter setter;
    tlogoobject* Value() override;
    std::string DefinitionText() override;
    void assignValue(tlogoobject* v);

private:
    Ref<tlogoobject> m_lastRead;  // keeps the value a reader was given alive
};

// The mouse state of a visible object: the one-handler-at-a-time rule with its buffered
// release, enter and leave (see events.cpp). Guarded by the global lock.
struct MouseState {
    bool busy = false;
    bool pendingRelease = false;
    int32_t releaseButton = 0, releaseX = 0, releaseY = 0;
    bool releaseShift = false;
    bool pendingEnter = false, pendingLeave = false;
    bool toolJustRan = false;
    bool moving = false, resizing = false, dragging = false;
    bool autoDrag = false;  // the left button drags the object ("autoDrag" setting)
    bool frozen = false;    // the user may not move it with the mouse ("frozen" setting)
    int32_t clickedX = 0, clickedY = 0;
};

// The native side of a class: the kind of record its instances are (a turtle class makes
// turtles), and of the classes derived from it. Plain classes have none.
class NativeClass {
public:
    virtual ~NativeClass() = default;
    virtual tmultiobject* newInstance() const = 0;  // a fresh record (count 0)
    virtual tmultiobject* newClass() const = 0;
    // Where an instance goes when `proposed` was chosen for it (nil: no place, registered
    // in the main object); pages sit in no page.
    virtual tmultiobject* placeFor(tmultiobject* proposed) const { return proposed; }
};

// The base of every object.
class tmultiobject : public tlogoobject {
public:
    explicit tmultiobject(bool instance);
    ~tmultiobject() override;

    tLogoTab procedures;        // own procedures (for the main object also the primitives)
    tLogoVarTab varTable;       // own and common variables
    tLogoEventTab events;
    bool chainGuard = false;    // set while the chains of this object are rebuilt
    bool needsPlace = false;
    std::vector<tmultiobject*> ancestors;    // held; the first classCount are classes
    int32_t classCount = 0;
    std::vector<tmultiobject*> descendants;  // not held: objects listing this one as ancestor or place
    tmultiobject* previous = nullptr;        // the list of all objects, in creation order
    tmultiobject* next = nullptr;
    const uint64_t serial;                   // counts up with every object made
    int32_t saveId = 0;
    bool isInstance;
    std::string name;
    int32_t nameCode = 0;
    tmultiobject* place = nullptr;  // not held: a place outlives what it contains
    std::vector<tLogoVarTab*> varChain;
    std::vector<tLogoVarTab*> eventChain;
    std::vector<tLogoTab*> userChain;
    std::vector<tLogoTab*> primChain;
    std::vector<tmultiobject*> allAncestors;
    bool autoAccessors = true;
    bool shownAtCreation = true;
    bool finished = false;
    bool erased = false;
    tcontainerobject* owner = nullptr;  // not held
    std::unique_ptr<MouseState> mouse;  // made when the first mouse notification arrives
    const NativeClass* nativeClass = nullptr;  // classes only; inherited by derived classes

    // ---- tlogoobject ----
    tProcDesc* FindProc(int32_t code, int32_t afterLevel, int32_t& level) override;
    tlogoobject* FindNamedObject(int32_t code) override;
    bool HasDefaultAction() override { return isInstance; }
    std::string PrintText(bool brackets) override { return name; }
    std::string ClassName() override { return "object"; }

    virtual bool IsControlObject() const { return false; }
    virtual tcontainerobject* AsContainer() { return nullptr; }
    // Runs once the object has been created; nothing for plain objects.
    virtual void OnCreate(ProcessContext& cx) {}
    // The object was erased: its native part goes now (a turtle leaves its surface), even
    // while values still hold the record.
    virtual void OnErased() {}

    tmultiobject* firstClass() const { return classCount > 0 ? ancestors[0] : nullptr; }
    bool hasAncestor(const tmultiobject* a) const;
    bool descendsThroughClasses(const tmultiobject* a) const;

    // Rebuilds this object's chains and then those of every descendant; an ancestor
    // cycle is error 184.
    void rebuildChains();
    void addAncestor(tmultiobject* a, bool asClass);
    void removeAncestor(tmultiobject* a);
    void setPlace(tmultiobject* p);

    // ---- variables ----
    tLogoVarDesc* findVariable(int32_t code) const;  // through the variable chain
    tlogoobject* getVariable(int32_t code);          // error 24 when none
    void setVariable(int32_t code, tlogoobject* v);  // error 126 when none
    void declareOwn(int32_t code, tlogoobject* v);
    void declareCommon(int32_t code, tlogoobject* v);
    void declarePseudoVariable(int32_t row, PseudoGetter g, PseudoSetter s);
    // The getter `name` and the setter of the language's pattern, unless either exists.
    void addAccessors(int32_t code);
    void copyOwnVariablesFrom(tmultiobject* from);

    // ---- events ----
    tlogoobject* findHandler(int32_t code) const;  // through the event chain, or nil
    void setEvent(int32_t code, tlogoobject* handler);

    // Unlinks the object from everything that finds it: its place, its ancestors'
    // descendant lists and the list of all objects.
    void detach();

private:
    void declareVariable(int32_t code, tlogoobject* v, uint8_t kind);
};

class tControlObject : public tmultiobject {
public:
    using tmultiobject::tmultiobject;
    bool IsControlObject() const override { return true; }
    int32_t grParamCode = 0;  // the variable holding the native-parameter record
};

class tcontainingcontrol : public tControlObject {
public:
    using tControlObject::tControlObject;
};

class tcontainerobject : public tcontainingcontrol {
public:
    using tcontainingcontrol::tcontainingcontrol;
    tLogoObjectsTab children;
    tcontainerobject* AsContainer() override { return this; }
    bool nameIsFree(int32_t code) const { return children.FindEntry(code) == nullptr; }
    void addChild(tmultiobject* obj);
    // Erases every child (the end of the run).
    void eraseChildren();
};

// ---- the world of objects ----
tmultiobject* mainObjectRecord();
// The first object of the list of all objects, in creation order.
tmultiobject* firstObject();
// The serial the next object made will get: objects made from now on have this one or
// a higher one.
uint64_t nextObjectSerial();
// Names the project introduced have codes above this; below are dictionary names.
void setDictionaryCodeLimit(int32_t limit);
int32_t dictionaryCodeLimit();
// The context running on this thread (processes and the host's), for names such as
// lastObject that depend on the process.
void setCurrentContext(ProcessContext* cx);
ProcessContext* currentContext();
// Reads the dictionary names that object paths use; after the dictionary is set.
void initObjectNames();

// The object named by a word or path "a'b'c" seen from `from`; error 50 when none.
tmultiobject* findObject(tmultiobject* from, tlogoobject* name);
tmultiobject* findObjectByCode(tmultiobject* from, int32_t code);
// The container in which `from` creates and finds children: itself when it can have
// children, else the nearest one up its place chain, else the main object.
tcontainerobject* containerOf(tmultiobject* from);
// The current object as an object record (the main object when there is none).
tmultiobject* currentObject(ProcessContext& cx);
// The object record a value is, or nil. Every value of kind Object is one; this costs a
// comparison where a dynamic_cast that fails compares type names.
inline tmultiobject* asObject(tlogoobject* v) {
    return v && v->vkind == ValueKind::Object ? static_cast<tmultiobject*>(v) : nullptr;
}

} // namespace qm
