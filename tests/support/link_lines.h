#pragma once
// The lines a view of the link keeps, fed by its events: the log (commands sent and notes)
// and the replies, as the diagnostic window shows them.

#include <string>
#include <vector>

#include "link/nimbralib.h"

namespace vexilo::test {

class LinkLines {
  public:
    explicit LinkLines(Tnimbra_lib& link)
        : link_(link), id_(link.add_listener([this](const LinkEvent& event) { take(event); })) {}
    ~LinkLines() { link_.remove_listener(id_); }
    LinkLines(const LinkLines&) = delete;
    LinkLines& operator=(const LinkLines&) = delete;

    std::vector<std::string> log;      // commands sent and notes
    std::vector<std::string> replies;  // reply lines of the commands awaited
    std::vector<std::string> file;     // the list file last loaded or written

  private:
    void take(const LinkEvent& event) {
        switch (event.kind) {
            case LinkEvent::Kind::Sent:
            case LinkEvent::Kind::Note:
                log.push_back(event.text);
                break;
            case LinkEvent::Kind::Received:
                replies.push_back(event.text);
                break;
            case LinkEvent::Kind::ReplyStarted:
                replies.clear();
                break;
            case LinkEvent::Kind::LogCleared:
                log.clear();
                break;
            case LinkEvent::Kind::FileLines:
                file = *event.lines;
                break;
            default:
                break;
        }
    }

    Tnimbra_lib& link_;
    int id_;
};

}  // namespace vexilo::test
