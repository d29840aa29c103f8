// The engine's built-in resources: dictionaries and texts, in their coded form.
#pragma once

#include <cstddef>

namespace qm {

struct EmbeddedResource {
    const char* type;   // "LDI" language dictionary, "laf" interface dictionary, "TXT" text
    const char* name;   // the language or text name
    const unsigned char* data;
    size_t size;
};

// Ends with an entry whose type is nullptr.
extern const EmbeddedResource kEmbeddedResources[];

} // namespace qm
