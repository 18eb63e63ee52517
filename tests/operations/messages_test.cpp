// The message catalogue: the texts of the errors, and the pieces messages are made of.
#include "operations/messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace holmtex::msg {
namespace {

TEST(Messages, ErrorsReadInGerman) {
    const std::pair<int, const char*> cases[] = {
        {ENAMETOOLONG, "der Name ist zu lang"},
        {ENOSPC, "der Datenträger ist voll"},
        {EACCES, "keine Berechtigung"},
        {EROFS, "der Datenträger ist schreibgeschützt"},
        {ENOTDIR, "ein Teil des Pfades ist kein Ordner"},
        {EMFILE, "zu viele offene Dateien"},
        {EEXIST, "die Datei gibt es schon"},
        {ELOOP, "zu viele symbolische Verknüpfungen"},
    };
    for (const auto& [error, text] : cases) EXPECT_EQ(describeError(error), text) << error;
    EXPECT_EQ(describeError(EBADMSG).rfind("Fehler ", 0), 0u);
}

}  // namespace
}  // namespace holmtex::msg
