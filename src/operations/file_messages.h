#pragma once
// Pieces of the messages that tell why a file operation did not go through.

#include <string>

#include "record/data_files.h"
#include "record/list_append.h"

namespace holmtex {

// "Ein-/Ausgabefehler (holmtex-aktuell.dat)."
inline std::string reason(int error, const std::string& file) {
    return describeError(error) + " (" + file + ").";
}

inline std::string reason(const FileResult& failure) { return reason(failure.error, failure.file); }

// "holmtex-aktuell.dat ist am Ende beschädigt; reparatur! hilft."
inline std::string damagedListText(const std::string& file) {
    return file + " ist am Ende beschädigt; reparatur! hilft.";
}

// Why an append to a list did not go through.
inline std::string appendFailure(const AppendResult& result) {
    return result.damagedTail ? damagedListText(result.file) : reason(result);
}

}  // namespace holmtex
