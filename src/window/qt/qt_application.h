#pragma once
// What the program sets up in QApplication before its window exists; the GUI tests run
// with the same set-up.

class QApplication;
class QCoreApplication;

namespace holmtex {

// The reverse-DNS name of the program: its launcher entry, metadata and icon carry it.
inline constexpr const char* kDesktopId = "de.holmtex.Notiz";

// Qt's own texts (dialog buttons, context menus) in German, whatever the desktop's
// language. Returns false, and changes nothing, when the translations are not installed.
bool installGermanTranslations(QCoreApplication& app);

// Style, names, icon and the German texts.
void setUpApplication(QApplication& app);

}  // namespace holmtex
