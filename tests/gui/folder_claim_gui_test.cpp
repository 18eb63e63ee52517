// A second start on a working folder that another window has open.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <map>

#include "app/folder_claim.h"
#include "record/folder_lock.h"
#include "support/scripted_platform.h"
#include "support/test_support.h"
#include "window/qt/qt_platform.h"

namespace holmtex::test {
namespace {

namespace fs = std::filesystem;

// Every file of the folder with its size and change time.
std::map<std::string, std::pair<std::uintmax_t, long long>> snapshot(const fs::path& folder) {
    std::map<std::string, std::pair<std::uintmax_t, long long>> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        files[entry.path().filename().string()] = {
            static_cast<std::uintmax_t>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
    }
    return files;
}

TEST(FolderClaim, ASecondStartSaysWhyAndTouchesNoFile) {
    TempDir dir;
    writeFile(dir / "holmtex-aktuell.dat", "Seiten");
    writeFile(dir / "fam-erg3.txt", "Arbeitsdatei des anderen Fensters");
    const FolderLock other = FolderLock::take(dir.path());
    ASSERT_EQ(other.state(), FolderLock::State::Held);
    const auto before = snapshot(dir.path());

    QtPlatform platform;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(10);
    EXPECT_FALSE(lockWorkFolder(dir.path()));
    sayWorkFolderBusy(platform);
    closer.stop();

    EXPECT_EQ(title.toStdString(), "  D O P P E L S T A R T   ");
    EXPECT_EQ(text.toStdString(),
              "Dieser Programmordner ist schon in einem anderen Holmtex-Fenster geöffnet. Bitte "
              "dort weiterarbeiten.");
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(snapshot(dir.path()), before);
}

TEST(FolderClaim, AFreeFolderStaysTakenWhileTheProgramRuns) {
    TempDir dir;
    ScriptedPlatform platform;
    EXPECT_TRUE(lockWorkFolder(dir.path()));
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(FolderLock::take(dir.path()).state(), FolderLock::State::Busy);
}

}  // namespace
}  // namespace holmtex::test
