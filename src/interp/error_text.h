// Turning a Logo error into the words of the current language.
#pragma once

#include <string>

#include "logo_error.h"

namespace qm {

// The message of the error with its placeholders filled in.
std::string errorMessage(const eLogoException& e);
// The caption: what was running, and where.
std::string errorCaption(const eLogoException& e);
// Caption and message as one report for a terminal or a log.
std::string errorReport(const eLogoException& e);
// The text of the default error sink's message box: the message, with a blank line
// after its first line when it has several.
std::string errorBoxText(const eLogoException& e);

} // namespace qm
