#include "record/local_time.h"

#include <cstdio>
#include <ctime>

namespace holmtex {

LocalDateTime localNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string germanDate(const LocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.day, t.month, t.year);
    return buf;
}

std::string germanTime(const LocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

std::string fileNameStamp(const LocalDateTime& t) {
    // Taken from the German short forms by position, as the names have always been made.
    const std::string date = germanDate(t), time = germanTime(t);
    return date.substr(date.size() - 2) + date.substr(3, 2) + date.substr(0, 2) +
           time.substr(0, 2) + time.substr(3, 2);
}

}  // namespace holmtex
