#pragma once
// The message boxes behind show_error, show_info and ask_yes_no in the workbench.

#include "config/messages.h"

namespace vexilo {

// Modal QMessageBox windows over the active window: "Error" with the critical icon and one
// button "OK"; "Information" with one button "OK"; the question as "Information" with
// "&Yes" and "&No" (the default, for Enter, except where Yes harms nothing), answering true
// only for Yes. Texts are Windows-1252.
class MessageBoxHandler final : public MessageHandler {
  public:
    void show_error(const std::string& text) override;
    void show_info(const std::string& text) override;
    bool ask_yes_no(const std::string& question) override;
    bool ask_yes_no_yes_default(const std::string& question) override;
};

}  // namespace vexilo
