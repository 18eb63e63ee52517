#pragma once
// The names of the files a page is written to: a kind, the process number and the
// date and time, as in "Text_4711_2612061430.txt".

#include <string>
#include <string_view>

#include "window/platform.h"

namespace holmtex {

// False when the text holds a character no file name may hold here or on the other
// computers the file may reach: / \ : * ? " < > | and control characters.
bool fitsAFileName(std::string_view text);

// yymmddhhmm, taken from the German short date and time forms by character position.
std::string fileNameStamp(const LocalDateTime& now);

}  // namespace holmtex
