#include "settings/settings_file.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "config/text_file.h"
#include "settings/settings_document.h"

namespace vexilo {
namespace {

namespace fs = std::filesystem;

const char* const new_file_text =
    "# Vexilo settings: [key path] lines, each followed by its values as NAME=int:NUMBER or\n"
    "# NAME=text:TEXT lines. %XX stands for the byte with hex code XX.\n";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// A symbolic link (say, into a folder of shared settings) stays a link: its target is
// read and replaced, even when the target does not exist yet.
std::string file_to_use() {
    fs::path path = settings_file_path();
    std::error_code error;
    for (int depth = 0; depth < 16 && !path.empty() && fs::is_symlink(path, error); ++depth) {
        const fs::path target = fs::read_symlink(path, error);
        if (error) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path.string();
}

std::optional<SettingsDocument> load(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) return SettingsDocument::parse(new_file_text);
    if (status.type() != fs::file_type::regular) return std::nullopt;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > settings_file_limit) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || bytes.size() > settings_file_limit) return std::nullopt;
    return SettingsDocument::parse(bytes);
}

bool save(const std::string& path, const SettingsDocument& document) {
    std::error_code error;
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty()) fs::create_directories(folder, error);
    return write_file_atomically(path, document.format());
}

class FileKey final : public SettingsKey {
  public:
    FileKey(std::string file, SettingsDocument document, const std::string& path)
        : file_(std::move(file)), document_(std::move(document)) {
        key_ = document_.find_key(path);
        if (key_ == nullptr) {
            key_ = &document_.add_key(path);
            changed_ = true;
        }
    }
    ~FileKey() override { close(); }
    FileKey(const FileKey&) = delete;
    FileKey& operator=(const FileKey&) = delete;

    std::vector<std::string> value_names() override { return key_->value_names(); }

    std::optional<SettingValue> read(const std::string& name) override {
        const SettingValue* value = key_->find(name);
        if (value == nullptr) return std::nullopt;
        return *value;
    }

    bool write_int(const std::string& name, std::int32_t value) override {
        SettingValue setting;
        setting.type = SettingType::integer;
        setting.integer = value;
        key_->set(name, setting);
        changed_ = true;
        return true;
    }

    bool write_text(const std::string& name, const std::string& value) override {
        SettingValue setting;
        setting.type = SettingType::text;
        setting.text = value;
        key_->set(name, setting);
        changed_ = true;
        return true;
    }

    bool remove(const std::string& name) override {
        if (!key_->remove(name)) return false;
        changed_ = true;
        return true;
    }

    bool close() override {
        if (!changed_) return true;
        changed_ = false;
        return save(file_, document_);
    }

  private:
    std::string file_;
    SettingsDocument document_;
    SettingsDocument::Key* key_ = nullptr;  // inside document_, which adds no keys meanwhile
    bool changed_ = false;
};

}  // namespace

std::string settings_file_path() {
    const std::string explicit_path = environment("VEXILO_SETTINGS");
    if (!explicit_path.empty()) return explicit_path;
    // XDG asks programs to ignore a relative XDG_CONFIG_HOME.
    const std::string config_home = environment("XDG_CONFIG_HOME");
    if (!config_home.empty() && config_home.front() == '/') return config_home + "/vexilo/settings";
    const std::string home = environment("HOME");
    if (!home.empty()) return home + "/.config/vexilo/settings";
    return "";
}

std::unique_ptr<SettingsKey> FileSettingsBackend::open_key(const std::string& path) {
    std::string file = file_to_use();
    std::optional<SettingsDocument> document = load(file);
    if (!document) return nullptr;
    return std::make_unique<FileKey>(std::move(file), std::move(*document), path);
}

bool FileSettingsBackend::remove_key(const std::string& path) {
    const std::string file = file_to_use();
    std::optional<SettingsDocument> document = load(file);
    if (!document) return false;
    if (!document->remove_key_tree(path)) return true;
    return save(file, *document);
}

}  // namespace vexilo
