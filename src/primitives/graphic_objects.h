// Pages, panes and turtles as Logo objects: the object records that own a drawing surface or a
// turtle, their classes, the current page, the first page of a new project, and the entry point
// through which the window system hands the mouse to a page.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "graphics/surface/surface.h"
#include "graphics/surface/turtle.h"
#include "main_object.h"
#include "multiobject.h"

namespace qm {

// A turtle object; its instances own the turtle that draws on the surface of their place.
class tTurtle : public tControlObject {
public:
    explicit tTurtle(bool instance);
    ~tTurtle() override;
    std::unique_ptr<Turtle> turtle;  // instances, once created
    void OnCreate(ProcessContext& cx) override;
    void OnErased() override;
};

// What pages and panes share: the drawing surface they own.
class ScreenHolder {
public:
    virtual ~ScreenHolder() = default;
    std::unique_ptr<Surface> surface;  // instances, once created
};

// A page: a container of the objects that live on it.
class tlogopage : public tcontainerobject, public ScreenHolder {
public:
    explicit tlogopage(bool instance);
    ~tlogopage() override;
    void OnCreate(ProcessContext& cx) override;
    void OnErased() override;
    std::vector<Ref<tlogoobject>> who;  // the turtles a process on this page addresses
};

// A pane: a small surface placed on a page like a control.
class tlogopane : public tcontainingcontrol, public ScreenHolder {
public:
    explicit tlogopane(bool instance);
    ~tlogopane() override;
    void OnCreate(ProcessContext& cx) override;
    void OnErased() override;
};

// The turtle of the current object; erInitTurtle (78) when it has none.
Turtle& turtleOf(ProcessContext& cx);
tTurtle* turtleObjectOf(tmultiobject* obj);  // nil when obj is no turtle with a turtle
// The surface of the nearest page or pane from obj up its place chain, or nil.
Surface* surfaceFrom(tmultiobject* obj);
// The same for the current object; erInitPane (86) when there is none.
Surface& surfaceOf(ProcessContext& cx);
// The page or pane object owning a surface found that way.
tmultiobject* screenObjectFrom(tmultiobject* obj);

// A window showing a page's surface uses it on its own thread. While a keeper is set, a page being
// erased offers it its surface first: the keeper may take it (moving it out) to free it once the
// window has let go; what it leaves is freed at once. The keeper runs with the global lock held,
// after the next page to show has become the current page. Set and cleared with the lock held.
using ErasedSurfaceKeeper = std::function<void(std::unique_ptr<Surface>& surface)>;
void setErasedSurfaceKeeper(ErasedSurfaceKeeper keeper);

// The Logo object a turtle of a surface belongs to (nil for other surface objects).
tTurtle* ownerOf(SurfaceObject* o);

// The page shown now, or nil.
tlogopage* currentPage();
void setCurrentPage(tlogopage* page);
// Told, with the global lock held, whenever another page becomes the current page (never nil:
// when the current page is hidden and none follows, whatever shows it keeps its last picture).
// A window uses it to show the page. Set and cleared with the lock held.
using CurrentPageListener = std::function<void(tlogopage* page)>;
void setCurrentPageListener(CurrentPageListener listener);

// Raises an event of an object in a new process (nothing when it has no handler).
void raiseObjectEvent(tmultiobject* obj, const char* internalEventName);
// Answers what a move did with the events it asks for: onBounce, then onCollide.
void afterMove(tmultiobject* mover, const MoveResult& result);

// Makes the classes Turtle, Page and Pane with their procedures; at start-up.
void registerGraphicClasses(tMainLogoObject& main);
// A new, empty project: the first page with one turtle on it. The page becomes the current page
// and the turtle its addressed object. Runs on `cx` with the global lock held.
tlogopage* createFirstPage(ProcessContext& cx);
// Makes `cx` work on the page as a process does while the page is shown: the page is its current
// object and the page's turtles its who list.
void enterPage(ProcessContext& cx, tlogopage* page);

// The mouse at an absolute point of a page: the hit test (panes first, then turtles) and the
// mouse rules of the object hit, or of the page itself when nothing is hit. Takes the global lock
// unless the calling thread holds it.
enum class PageMouse { Move, Press, Release, DoubleClick, Leave };
// `keys`: kPointerCtrl and kPointerShift (screen_pointer.h) as they were at the event.
void pageMouse(tlogopage* page, PageMouse what, Point absolute, int32_t button = 0, std::uint32_t keys = 0);

// Starts moving a turtle or pane with the mouse from where the pointer is now (startMove); false
// when it is frozen. Until a button goes up it follows the pointer: a turtle with nothing drawn and
// no events (range style window when its style is window, else fence), a pane within its page.
bool startMouseMove(tmultiobject* obj);
// The screen pixel of a surface's top-left pixel: where its page shows, plus the places of the
// panes on the way down to it.
Point screenOriginOf(const Surface& s);

} // namespace qm
