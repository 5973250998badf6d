#include "listing.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <memory>

#include "config/configuration.h"
#include "config/encoding.h"
#include "config/field_text.h"
#include "config/list_loader.h"
#include "config/messages.h"
#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_fields.h"
#include "config/text_file.h"

namespace vexilo {
namespace {

// Qt text (the date) as program text.
std::string program_text(const QString& text) {
    return utf8_to_windows1252(text.toUtf8().toStdString());
}

std::string padded_left(std::string_view text, std::size_t width) {
    std::string out(text.size() < width ? width - text.size() : 0, ' ');
    out += text;
    return out;
}

std::string padded_right(std::string_view text, std::size_t width) {
    std::string out(text);
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

void append_objects(const Configuration& config, const std::vector<std::string>& file_lines,
                    std::vector<std::string>& out) {
    // Object n stands on the n-th object line; a file whose sections are out of the usual
    // shape may have more such lines than the reader took objects.
    const ObjectLineRange range = find_object_lines(file_lines);
    const std::size_t count = std::min(range.size(), static_cast<std::size_t>(config.object_count));
    for (std::size_t n = 0; n < count; ++n) {
        const ObjectRecord& object = config.objects[n];
        const ClassRecord& cls = config.classes[object.class_index];
        std::string head(text_of(cls.name));
        head += ' ';
        head += text_of(object.name);
        out.push_back(std::move(head));
        for (int f = 0; f < cls.field_count; ++f) {
            out.push_back(field_line(text_of(cls.fields[f].name),
                                     field_value_text(config, object, f),
                                     field_units_text(cls.fields[f])));
        }
        out.emplace_back();
    }
}

}  // namespace

std::string file_change_date(const std::string& path) {
    const QDateTime changed =
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).lastModified();
    if (!changed.isValid()) return "unknown";
    return program_text(QLocale::system().toString(changed.date(), QLocale::ShortFormat));
}

std::string field_line(std::string_view name, std::string_view value, std::string_view units) {
    return padded_right(name, 13) + ":" + padded_left(value, 13) + padded_left(units, 6);
}

Listing build_listing(const std::vector<std::string>& paths, const ChangeDateText& change_date) {
    Listing listing;
    auto config = std::make_unique<Configuration>();
    for (const std::string& path : paths) {
        listing.list_of_line.resize(listing.lines.size(),
                                    static_cast<int>(listing.names.size()) - 1);
        listing.names.push_back(list_name(path));
        listing.lines.push_back("Object List \"" + listing.names.back() + "\" Last Change " +
                                change_date(path));
        listing.lines.emplace_back();
        const ListLoad load = load_list_file(path, *config);
        if (!load.ok()) {
            show_error(load.message(path_to_program_text(path)));
            listing.complete = false;
            continue;
        }
        append_objects(*config, load.lines, listing.lines);
    }
    listing.list_of_line.resize(listing.lines.size(), static_cast<int>(listing.names.size()) - 1);
    return listing;
}

}  // namespace vexilo
