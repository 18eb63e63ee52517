#pragma once
// Screens for Qt's offscreen platform. Its own screen is 800 x 800 pixels, narrower than the
// window, so the GUI tests, the screenshot and the window benchmark give it screens of their
// own, described in a file that the platform reads when the application starts.

#include <filesystem>
#include <initializer_list>
#include <string>

namespace holmtex::test {

struct OffscreenScreen {
    std::string name;
    int x = 0, y = 0, width = 0, height = 0;  // in the screen's own pixels
};

// A desktop of 1920 x 1080 pixels.
inline const OffscreenScreen kDesktopScreen{"desktop", 0, 0, 1920, 1080};

// Sets QT_QPA_PLATFORM to the offscreen platform with these screens, unless a platform other
// than the offscreen one is asked for (a run on a real display). Make it before the
// QApplication; the description stays until it goes.
class OffscreenScreens {
public:
    OffscreenScreens(std::initializer_list<OffscreenScreen> screens);
    ~OffscreenScreens();
    OffscreenScreens(const OffscreenScreens&) = delete;
    OffscreenScreens& operator=(const OffscreenScreens&) = delete;

private:
    std::filesystem::path file_;
};

}  // namespace holmtex::test
