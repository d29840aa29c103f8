// The property rows of the internal code table: the internal name of each property in
// its fixed row (an empty name leaves the row empty).
#include "property_rows.h"

namespace qm {

const char* const kPropertyRowNames[kPropertyRowCount] = {
    "name", "aPos", "xCor", "yCor", "pos", "size",
    "width", "height", "hint", "enabled", "shown", "value",
    "richText", "font_text", "colour", "bgcolour_text", "editing", "transparent",
    "stayEditing", "activePage", "caption_window", "caption", "oneShot", "style",
    "down", "allUp", "flat", "group", "picture", "",
    "min", "max", "value_slider", "vertical", "origin", "bgLineColour",
    "bgLineWidth", "bgPicture", "pageWho", "bgColour", "heading", "homeState",
    "xCor", "yCor", "fillColour", "fillPattern", "pen", "penColour",
    "penWidth", "penPattern", "rangeStyle", "range", "frame", "shape",
    "shapeScale", "shapeColour", "animation", "font", "transparentClick", "parentHandle",
    "fullPicture", "voiceMenu", "mainvoiceMenu", "frameItem", "autoDrag", "sensitive",
    "windowState", "x", "y", "z", "r", "u",
    "v", "rangeX", "rangeY", "rangeZ", "rangeR", "rangeU",
    "rangeV", "deadZoneX", "deadZoneY", "deadZoneZ", "deadZoneR", "deadZoneU",
    "deadZoneV", "axesCount", "buttonCount", "pov", "button1", "button2",
    "button3", "button4", "button5", "button6", "button7", "button8",
    "button9", "button10", "button11", "button12", "button13", "button14",
    "button15", "button16", "button17", "button18", "button19", "button20",
    "button21", "button22", "button23", "button24", "button25", "button26",
    "button27", "button28", "button29", "button30", "button31", "button32",
    "frameMode", "bgcolour_slider", "thumbLength", "bgLinePattern", "selection", "selectedText",
    "velocityXY", "velocity", "angle", "prompt", "readlistPrompt", "shownRange",
    ".name", "switch", "useWho", "transparent_slider", "filename", "showbuttons_mm",
    "address", "maximized_web", "style_web", "host", "userID", "port_email",
    "attachments", "body", "fromAddress", "fromName", "replyTo", "subject",
    "toAddress", "toBlindCarbonCopy", "toCarbonCopy", "showToolbar", "server", "delayScale",
    "position", "playState", "style_net", "port", "controlledObject", "align",
    "order", "caption_web", "showTitleBar", "caption_mm", "showtitlebar_mm", "maximized",
    "style_mm", "runEnabled", "nickName", "myPlace", "number", "borderColour",
    "acceptCommands", "acceptKeyMenu", "keyMenu", "acceptVoiceMenu", "frozen", "userCanStop",
    "growWithValue", "oneLine", "screenState", "mainbarShown", "paintbarShown.", "",
    "", "", "", "", "", "",
    "", "", "",
};

} // namespace qm
