#include "messages.h"

#include <cstdio>

namespace vexilo {
namespace {

class StderrHandler final : public MessageHandler {
  public:
    void show_error(const std::string& text) override {
        std::fprintf(stderr, "error: %s\n", text.c_str());
    }
    void show_info(const std::string& text) override {
        std::fprintf(stderr, "info: %s\n", text.c_str());
    }
    bool ask_yes_no(const std::string& question) override {
        std::fprintf(stderr, "question: %s\n", question.c_str());
        return false;
    }
};

StderrHandler default_handler;
MessageHandler* current = &default_handler;

}  // namespace

MessageHandler* set_message_handler(MessageHandler* handler) {
    MessageHandler* previous = current;
    current = handler != nullptr ? handler : &default_handler;
    return previous == &default_handler ? nullptr : previous;
}

void show_error(std::string_view text) {
    current->show_error(std::string(text));
}
void show_info(std::string_view text) {
    current->show_info(std::string(text));
}
bool ask_yes_no(std::string_view question) {
    return current->ask_yes_no(std::string(question));
}
bool ask_yes_no_yes_default(std::string_view question) {
    return current->ask_yes_no_yes_default(std::string(question));
}

}  // namespace vexilo
