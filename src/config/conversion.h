#pragma once
// Carrying objects from one configuration into another, field by field and by name: the
// careful add into an object list, and the check and download line of an object that goes
// to the instrument. Every decision is described by a report line for the diagnostic log.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "configuration.h"
#include "line_list.h"

namespace vexilo {

// Which class and field of `from` correspond by name to those of `to`. Each careful add and
// each download builds its own, so one can never read tables that the other rebuilt.
class ClassMaps {
  public:
    ClassMaps() { reset(); }
    ClassMaps(const Configuration& from, const Configuration& to) { map_classes(from, to); }

    // Class map: for each class of `from`, the index of the same-named class of `to` (the
    // last of several), or -1. Field map: for each field of each class of `to`, the index of
    // the first same-named field of the same-named class of `from`, or -1.
    void map_classes(const Configuration& from, const Configuration& to);

    int class_map(int from_class) const;
    int field_map(int to_class, int field) const;

  private:
    void reset();

    std::array<std::int32_t, MAX_CLASSES> class_map_;
    std::array<std::array<std::int32_t, MAX_FIELDS>, MAX_CLASSES> field_map_;
};

// Index of the last entry with that name (ASCII case folded), or -1.
int find_list_entry(const ValueList& list, std::string_view name);

// The entry name that ListChoice value `value` of a field using list `list_number` stands
// for; nothing when the list number or the value addresses no entry of the configuration.
std::optional<std::string_view> list_entry_name(const Configuration& config,
                                                std::int32_t list_number, std::int32_t value);

// Gives field p of the object its default: Text "Unknown", Number and ListChoice the
// field's default. An Atom has none: reports why the object is not included and answers
// false.
bool set_field_to_default(Configuration& config, const ObjectRecord& target, int p,
                          std::string_view reason);

// The careful add of source objects into a destination object list, over one pair of
// configurations whose classes do not change while it lives (one Add click); meanwhile the
// destination's objects change only through it.
class CarefulAdd {
  public:
    CarefulAdd(const Configuration& source, Configuration& destination);

    // Adds source object k to the destination, or overwrites the destination object of the
    // same name and class. False when the object was refused; refusal() then says why.
    bool add_object_carefully(int k);

    const std::string& refusal() const { return refusal_; }

  private:
    bool refuse(std::string line);
    // The destination object of that name (the last of equal names), as find_object answers.
    int find_destination_object(std::string_view name);

    const Configuration& source_;
    Configuration& destination_;
    ClassMaps maps_;
    std::string refusal_;
    bool full_shown_ = false;
    // Destination object names (letter case folded) and their indexes, kept current by each
    // object this add appends, so that adding a whole list does not scan the list for every
    // object. A name found is checked against the list, and the index is made again when the
    // object count changed under it.
    std::unordered_map<std::string, int> objects_by_name_;
    int indexed_count_ = -1;
};

// Error boxes "t" + a + " vs " + b; each answers whether the two differ.
bool report_number_difference(std::string_view t, std::int64_t a, std::int64_t b);
bool report_text_difference(std::string_view t, std::string_view a, std::string_view b);

// Compares a field of the list configuration (a) with the instrument's (b): kind, then
// units (Number) or list number (ListChoice). True, after an error box, on a difference.
bool compare_fields_for_download(std::string_view prefix, const ClassField& a, const ClassField& b);

// The conversion of objects of a list configuration into download lines for the instrument
// whose configuration is given, over one pair of configurations.
class DownloadConverter {
  public:
    DownloadConverter(const Configuration& list, const Configuration& instrument,
                      LineList& output_box, LineList& cmd_box);

    // True, after an error box, when the class does not fit the instrument's class of that
    // name and the download must stop.
    bool check_class_for_download(std::string_view class_name) const;

    // Queues "DLD_OBJ " and the download line of list object k (its class checked before).
    // False, after an error box and with nothing queued, when a reference does not fit.
    bool make_download_line(int k);

    // Both steps for list object k: true when its command was queued.
    bool queue_object(int k);

  private:
    std::string object_name_for_report(const ObjectRecord& object) const;

    const Configuration& list_;
    const Configuration& instrument_;
    LineList& output_box_;
    LineList& cmd_box_;
    ClassMaps maps_;
};

// The diagnostic log. Off by default: write_to_log then drops the line.
class LogSink {
  public:
    virtual ~LogSink() = default;
    virtual void write(const std::string& line) = 0;
};

// Installs a sink (nullptr switches the log off) and returns the one it replaces.
LogSink* set_log_sink(LogSink* sink);
bool log_enabled();
void write_to_log(std::string_view line);

class ScopedLogSink {
  public:
    explicit ScopedLogSink(LogSink& sink) : previous_(set_log_sink(&sink)) {}
    ~ScopedLogSink() { set_log_sink(previous_); }
    ScopedLogSink(const ScopedLogSink&) = delete;
    ScopedLogSink& operator=(const ScopedLogSink&) = delete;

  private:
    LogSink* previous_;
};

// The local date and time as "YYYY-MM-DD HH:MM:SS".
std::string current_date_time();

// The switched-on log: each line as the date and time, " : " and the line, handed to out.
class StampedLog final : public LogSink {
  public:
    using Clock = std::function<std::string()>;
    explicit StampedLog(std::function<void(const std::string&)> out,
                        Clock clock = current_date_time)
        : out_(std::move(out)), clock_(std::move(clock)) {}
    void write(const std::string& line) override { out_(clock_() + " : " + line); }

  private:
    std::function<void(const std::string&)> out_;
    Clock clock_;
};

}  // namespace vexilo
