// libFuzzer target: any bytes as configuration text must read or fail with a message, never
// crash or write past a limit; whatever reads must write and read back.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "config/messages.h"
#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_file.h"

namespace {

class Quiet final : public vexilo::MessageHandler {
  public:
    void show_error(const std::string&) override {}
    void show_info(const std::string&) override {}
    bool ask_yes_no(const std::string&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Quiet quiet;
    static vexilo::ScopedMessageHandler scope(quiet);
    static auto config = std::make_unique<vexilo::Configuration>();
    static auto again = std::make_unique<vexilo::Configuration>();

    std::vector<std::string> lines =
        vexilo::split_text_lines(std::string(reinterpret_cast<const char*>(data), size));
    vexilo::clear_configuration(*config);
    if (!vexilo::read_configuration(*config, lines)) return 0;

    // Whatever was read must survive a write and a second reading.
    std::vector<std::string> written = vexilo::object_list_lines(*config, {});
    vexilo::clear_configuration(*again);
    (void)vexilo::read_configuration(*again, written);
    (void)vexilo::object_display_lines(*config);
    return 0;
}
