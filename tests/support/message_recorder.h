#pragma once
// Records every message box and answers questions from a script (No when it runs out).

#include <deque>
#include <string>
#include <vector>

#include "config/messages.h"

namespace vexilo::test {

class MessageRecorder final : public MessageHandler {
  public:
    MessageRecorder() : scope_(*this) {}

    void show_error(const std::string& text) override { errors.push_back(text); }
    void show_info(const std::string& text) override { infos.push_back(text); }
    bool ask_yes_no(const std::string& question) override {
        questions.push_back(question);
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> errors;
    std::vector<std::string> infos;
    std::vector<std::string> questions;
    std::deque<bool> answers;

  private:
    ScopedMessageHandler scope_;
};

}  // namespace vexilo::test
