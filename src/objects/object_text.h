// The object text form: objects written as Logo instruction lines in the current
// language (creating line, entry lines, links, global variable lines), the conversions
// of a saved state list, and the reading of such text back into the running engine.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "multiobject.h"

namespace qm {

// Objects are referred to by name (plain project text, clone) or, when the project
// writer has numbered them, by "#" and their save id.
enum class ObjectTextMode { Names, Ids };

// Name/value pairs given from outside (the settings clone and load apply).
using NamedValues = std::vector<std::pair<Ref<tlogoobject>, Ref<tlogoobject>>>;

// Writes objects as instruction lines, each ending in CR LF. The images that the
// written values hold are numbered in order of first reference (1, 2, ...); images()
// lists them so that whoever reads the text back can give them again.
class ObjectTextWriter {
public:
    explicit ObjectTextWriter(ObjectTextMode mode = ObjectTextMode::Names) : m_mode(mode) {}

    // References to `from` name `to` instead: the links of a copy name the copy.
    void substitute(tmultiobject* from, tmultiobject* to) { m_substitutes[from] = to; }

    // The creating line, one entry line per saved variable, procedure and event, the
    // image-reference table when images were met, and an empty line. The list of the
    // creating line stays open: the reader closes it at the end of the instruction.
    void writeDefinition(tmultiobject* obj);
    // The behaviours (ancestors after the first) as .addbehaviour lines.
    void writeLinks(tmultiobject* obj);
    // A global variable as a make line.
    void writeGlobalVariable(int32_t code, tlogoobject* value);

    const std::string& text() const { return m_text; }
    const std::vector<Ref<tlogoobject>>& images() const { return m_images; }

private:
    std::string reference(tmultiobject* obj);  // name (path) or "#" and the save id
    std::string entryLine(const std::string& name, tlogoobject* value, int32_t pair);
    int32_t imageNumber(tlogoobject* image);
    void line(const std::string& text) { m_text += text + "\r\n"; }

    ObjectTextMode m_mode;
    std::string m_text;
    std::map<tmultiobject*, tmultiobject*> m_substitutes;
    std::vector<Ref<tlogoobject>> m_images;
    std::vector<std::string> m_imageTable;  // [N j p1 p2 ...] of the definition being written
    bool m_evaluated = false;                // the definition's values are evaluated when read
};

// ---- saved forms of a state list ----

// The name a saved state list means by `name`: a number 0..194 stands for the first
// spelling of that property row; anything else stands for itself.
Ref<tlogoobject> stateNameOfCode(tlogoobject* name);
// The codes form: every name converted as above.
Ref<tLogoList> stateListCodesForm(tLogoList* list);
// The saved form: a list of odd length ends in the image-reference table, which is
// taken off and puts the images of the current loaded-image list back into the values
// it names; then the names are converted as above.
Ref<tLogoList> stateListSavedForm(tLogoList* list);
// The same for pairs already read (newclass reads and evaluates its list first).
void applyImageTable(NamedValues& pairs, tlogoobject* table);

// The images a reading gives back by number (1 = the first); a reading installs its
// list for its lifetime, restoring the one before, so that readings may nest.
class LoadedImages {
public:
    explicit LoadedImages(std::vector<Ref<tlogoobject>> images);
    ~LoadedImages();
    LoadedImages(const LoadedImages&) = delete;
    // Image n of the current list, or nil (out of range, or no reading under way).
    static tlogoobject* image(int32_t n);

private:
    std::vector<Ref<tlogoobject>> m_images;
    LoadedImages* m_previous;
};

// ---- reading text back ----

// One instruction of a loaded text: a line (or lines joined up to an empty line), or a
// whole procedure definition whose lines end in the line-break mark.
struct LoadedInstruction {
    std::string text;
    bool definition = false;
};

// Splits loaded text into instructions. Lines end at CR, LF or a zero byte; a tab is a
// blank, any other control byte is error 60. Outside definitions a line ending in "~"
// goes on in the next one; a text that begins with ";!" (or whose first line ends in
// "~") has one instruction per line, other texts join lines until an empty line.
std::vector<LoadedInstruction> splitLoadedText(const std::string& text);

// A reading of object text into the running engine by the process cx: instructions
// run with the main object as the current object. The given pairs override the
// settings of the first object the reading creates; "verbose" among them echoes every
// instruction. When the outermost reading ends, every object it created gets onLoad.
class ObjectTextReading {
public:
    ObjectTextReading(ProcessContext& cx, const NamedValues& pairs);
    ~ObjectTextReading();
    ObjectTextReading(const ObjectTextReading&) = delete;

    // Runs the text, whose image-reference tables number the given images; errors end
    // it and propagate. Answers the first object that its instructions created, or nil.
    tmultiobject* run(const std::string& text, const std::vector<Ref<tlogoobject>>& images = {});
    // Raises onLoad on the objects created meanwhile (outermost reading only).
    void finish();

private:
    void runOne(const LoadedInstruction& in);

    ProcessContext& m_cx;
    uint64_t m_startSerial;
    bool m_outermost;
    bool m_echo = false;
    ObjectTextReading* m_previous;
    NamedValues m_pairs;
    bool m_pairsTaken = false;

    friend bool takeCreationOverrides(ProcessContext& cx, NamedValues& out);
};

// For the creating primitives: the settings that override those of the object being
// created, when a reading by cx has them and no object took them yet. Taking them
// empties them.
bool takeCreationOverrides(ProcessContext& cx, NamedValues& out);

} // namespace qm
