#pragma once
// The three message boxes every part of the program reports through. The core only
// declares them; the workbench installs real dialog boxes, vexilo-cli prints lines, and
// tests install a recorder that also scripts the answers.

#include <string>
#include <string_view>

namespace vexilo {

class MessageHandler {
  public:
    virtual ~MessageHandler() = default;
    virtual void show_error(const std::string& text) = 0;
    virtual void show_info(const std::string& text) = 0;
    // True when the operator chose Yes.
    virtual bool ask_yes_no(const std::string& question) = 0;
    // A question whose Yes harms nothing (creating a new file): Yes is the default, for Enter.
    // Handlers without default buttons ask it as any other question.
    virtual bool ask_yes_no_yes_default(const std::string& question) {
        return ask_yes_no(question);
    }
};

// Installs a handler (nullptr restores the default one, which writes to stderr and answers
// No) and returns the one it replaces.
MessageHandler* set_message_handler(MessageHandler* handler);

void show_error(std::string_view text);
void show_info(std::string_view text);
bool ask_yes_no(std::string_view question);
bool ask_yes_no_yes_default(std::string_view question);

// Installs a handler for the lifetime of a scope.
class ScopedMessageHandler {
  public:
    explicit ScopedMessageHandler(MessageHandler& handler)
        : previous_(set_message_handler(&handler)) {}
    ~ScopedMessageHandler() { set_message_handler(previous_); }
    ScopedMessageHandler(const ScopedMessageHandler&) = delete;
    ScopedMessageHandler& operator=(const ScopedMessageHandler&) = delete;

  private:
    MessageHandler* previous_;
};

}  // namespace vexilo
