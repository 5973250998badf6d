#pragma once
// Message boxes as lines on stderr: "error: ", "info: ", "question: ". A question is answered
// Yes only when the command line says --yes.

#include "config/messages.h"

namespace vexilo::cli {

class CliMessages final : public MessageHandler {
  public:
    explicit CliMessages(bool yes) : yes_(yes) {}
    void show_error(const std::string& text) override;
    void show_info(const std::string& text) override;
    bool ask_yes_no(const std::string& question) override;

  private:
    bool yes_;
};

}  // namespace vexilo::cli
