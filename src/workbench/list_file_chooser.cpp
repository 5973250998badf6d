#include "list_file_chooser.h"

#include <QFileDialog>

#include "config/text_fields.h"
#include "dialogs/ui_helpers.h"

namespace vexilo {
namespace {

const QString kOpenFilter = QStringLiteral("Nimbra Object Lists (*.nol *.NOL)");

std::optional<std::string> chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return path_to_text(path);
}

}  // namespace

std::optional<std::string> ListFileDialogs::open_list(const std::string& folder) {
    return chosen(
        QFileDialog::getOpenFileName(parent_, QString(), path_to_qstring(folder), kOpenFilter));
}

std::optional<std::string> ListFileDialogs::save_list(const std::string& folder) {
    return chosen(
        QFileDialog::getSaveFileName(parent_, QString(), path_to_qstring(folder), kOpenFilter));
}

std::string list_save_path(const std::string& chosen) {
    const std::string name = file_name_part(chosen);
    const std::string folder = chosen.substr(0, chosen.size() - name.size());
    constexpr std::string_view kExtension = ".nol";
    if (name.size() > kExtension.size() &&
        same_text(std::string_view(name).substr(name.size() - kExtension.size()), kExtension)) {
        return chosen;
    }
    return folder + strip_extension(name) + std::string(kExtension);
}

}  // namespace vexilo
