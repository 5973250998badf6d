#pragma once
// Answers modal windows from a timer, the way an operator would: each step waits until a
// modal window with the expected title is active, lets the test look at it (or type into
// it), and presses the button with the given caption ("&" marks are ignored). A step without
// a caption only runs its inspection, which may close the window itself.

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>

namespace vexilo::test {

class ModalScript {
  public:
    using Inspect = std::function<void(QWidget&)>;

    ModalScript() = default;
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;
    ~ModalScript() { state_->stopped = true; }

    // Queues one step; the script starts watching at once.
    ModalScript& press(const QString& title, const QString& button, Inspect inspect = {}) {
        state_->steps.push_back({title, button, std::move(inspect)});
        if (!state_->polling) poll_later(state_);
        return *this;
    }

    bool finished() const { return state_->steps.empty(); }
    // What went wrong: a step that found no window or no button in time.
    const QStringList& failures() const { return state_->failures; }
    // The texts of every window a step answered, in order: title, then the texts of its
    // labels.
    const QStringList& seen() const { return state_->seen; }

    static QAbstractButton* find_button(QWidget& window, const QString& caption) {
        for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
            if (!button->isVisible() || !button->isEnabled()) continue;
            if (button->text() == caption || QString(button->text()).remove('&') == caption) {
                return button;
            }
        }
        return nullptr;
    }

  private:
    struct Step {
        QString title;
        QString button;
        Inspect inspect;
    };
    struct State {
        std::deque<Step> steps;
        QStringList failures;
        QStringList seen;
        bool polling = false;
        bool stopped = false;
        int idle_polls = 0;
    };

    static constexpr int kPollMs = 5;
    static constexpr int kGiveUpPolls = 2000;  // a stuck test ends instead of hanging

    static void poll_later(const std::shared_ptr<State>& state) {
        state->polling = true;
        QTimer::singleShot(kPollMs, [state] { poll(state); });
    }

    static void poll(const std::shared_ptr<State>& state) {
        state->polling = false;
        if (state->stopped || state->steps.empty()) return;
        QWidget* window = QApplication::activeModalWidget();
        const Step& next = state->steps.front();
        QAbstractButton* button = nullptr;
        bool ready = false;
        if (window != nullptr && window->isVisible() &&
            (next.title.isEmpty() || window->windowTitle() == next.title)) {
            if (!next.button.isEmpty()) button = find_button(*window, next.button);
            ready = next.button.isEmpty() || button != nullptr;
        }
        if (!ready) {
            if (++state->idle_polls > kGiveUpPolls) {
                state->failures << QStringLiteral("no window \"%1\" with button \"%2\"")
                                       .arg(next.title, next.button);
                state->steps.clear();
                if (window != nullptr) window->close();
                return;
            }
            poll_later(state);
            return;
        }
        state->idle_polls = 0;
        Step step = std::move(state->steps.front());
        state->steps.pop_front();
        state->seen << window->windowTitle();
        if (step.inspect) step.inspect(*window);
        // The press may open another modal window and only return when that closes, so the
        // next step must be watching before it.
        if (!state->steps.empty()) poll_later(state);
        QPointer<QAbstractButton> target(button);
        if (target) target->click();
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace vexilo::test
