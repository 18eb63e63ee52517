#pragma once
// The local date and time as the program stamps pages and names files with it. The window
// takes it from its platform, the command line and the history from the system clock.

#include <string>

namespace holmtex {

struct LocalDateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// The system's local time now.
LocalDateTime localNow();

std::string germanDate(const LocalDateTime& t);  // "dd.MM.yyyy"
std::string germanTime(const LocalDateTime& t);  // "HH:mm:ss"

// yymmddhhmm, the stamp in the names of files made at that moment.
std::string fileNameStamp(const LocalDateTime& t);

}  // namespace holmtex
