#pragma once
// The real outside world for the window: clock, modal boxes, programs.

#include <QPointer>
#include <QProcess>
#include <QWidget>

#include "window/platform.h"

namespace holmtex {

class QtPlatform : public Platform {
public:
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

private:
    QPointer<QWidget> parent_;
    QPointer<QProcess> process_;
};

}  // namespace holmtex
