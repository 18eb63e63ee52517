#pragma once
// The real outside world for the window: clock, modal boxes, programs.

#include <QPointer>
#include <QProcess>
#include <QWidget>
#include <atomic>
#include <thread>

#include "window/platform.h"

namespace holmtex {

class QtPlatform : public Platform {
public:
    QtPlatform() = default;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;
    ~QtPlatform() override { stopAside(); }

    void setParentWindow(QWidget* window) { parent_ = window; }

    LocalDateTime now() override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    void showMessage(const std::string& title, const std::string& text) override;
    bool startProgram(const std::filesystem::path& program,
                      const std::filesystem::path& folder) override;
    ProgramEnd waitForProgram(int timeoutMs) override;
    void endProgram() override;
    bool sheetPdf(const FamilySheet& sheet, std::string& pdf) override;
    PrintResult printSheet(const FamilySheet& sheet,
                           const std::filesystem::path& fileProposal) override;
    std::filesystem::path chooseFileToOpen(const std::string& title,
                                           const std::filesystem::path& folder,
                                           const std::string& filter) override;
    std::unique_ptr<Progress> startProgress(const std::string& title, const std::string& text,
                                            const std::string& cancel) override;
    // On a thread of its own, once the application exists; one at a time.
    bool runAside(std::function<void(const std::atomic<bool>& stop)> work) override;
    void post(std::function<void()> task) override;
    void waitUntil(const std::function<bool()>& done) override;
    // Stops the work aside and waits for it: before the application goes, as its tasks are
    // posted there.
    void stopAside();

private:
    QPointer<QWidget> parent_;
    QPointer<QProcess> process_;
    std::thread aside_;
    std::atomic<bool> stop_{false};
};

}  // namespace holmtex
