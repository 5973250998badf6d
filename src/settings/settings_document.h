#pragma once
// The text form of the settings file, held in memory. One line each:
//
//   [SOFTWARE\Orvane\Nimbra\Vexilo]          a key, by its path without the leading "\"
//   Port=int:1                               a 32-bit integer value
//   Root Folder=text:/home/ann/lists         a string value
//   # ...  or  ; ...                         a comment
//
// In key paths, names and texts "%XX" stands for the byte with hex code XX. Written files
// escape "%", control bytes, "=" in names, a leading "[", "#" or ";" of a name and leading or
// trailing blanks, so blanks around "=" and ":" may be added by hand. Other bytes (also "/",
// "\" and non-ASCII ones) stand as they are. Lines that fit none of these forms are
// treated as absent but kept in place, so that a damaged file loses nothing when it is
// written again; a later line for the same name replaces an earlier one.

#include <cstddef>
#include <string>
#include <vector>

#include "settings/settings_backend.h"

namespace vexilo {

class SettingsDocument {
  public:
    struct Line {
        bool is_value = false;
        std::string name;    // of a value line
        SettingValue value;  // of a value line
        std::string raw;     // a comment, blank or unreadable line, exactly as read
    };
    struct Key {
        std::string path;  // without the leading "\"; empty for the lines before any key
        std::vector<Line> lines;

        std::vector<std::string> value_names() const;
        const SettingValue* find(const std::string& name) const;
        void set(const std::string& name, const SettingValue& value);
        bool remove(const std::string& name);
    };

    static SettingsDocument parse(const std::string& bytes);
    std::string format() const;

    // The key with that path (letter case of ASCII ignored, as the registry does), or null.
    Key* find_key(const std::string& path);
    Key& add_key(const std::string& path);
    // Removes the key and the keys below it; false when there was none.
    bool remove_key_tree(const std::string& path);

    bool empty() const { return keys_.size() == 1 && keys_.front().lines.empty(); }

  private:
    std::vector<Key> keys_{Key{}};  // the first one holds the lines before any key
};

std::string escape_setting_text(const std::string& text, bool is_name);
std::string unescape_setting_text(const std::string& text);

}  // namespace vexilo
