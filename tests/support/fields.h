#pragma once
// Filling in the window's fields as a user does.

#include <initializer_list>
#include <string_view>
#include <utility>

#include "window/controls.h"

namespace holmtex::test {

// Gives fields their texts one after the other, as typing them would.
inline void typeInto(std::initializer_list<std::pair<TextBox&, std::string_view>> fields) {
    for (const auto& [field, text] : fields) field.setText(text);
}

}  // namespace holmtex::test
