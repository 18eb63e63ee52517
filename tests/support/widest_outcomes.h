#pragma once
// Every kind of outcome the operations answer with, each with the widest values it can
// take: the longest list, backup and rest file names, every errno the catalogue has a text
// for and one it has not, five-digit counts, long process numbers, eight letters stored as
// "?", every recovery a user must read about. The message-fit test lays each out in Text5.

#include <vector>

#include "record/outcome.h"

namespace holmtex::test {

std::vector<Outcome> widestOutcomes();

}  // namespace holmtex::test
