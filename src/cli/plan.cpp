// plan: what a send of the object lists would change on the instrument, without sending.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <memory>

#include "cli.h"
#include "config/encoding.h"
#include "config/messages.h"
#include "config/plan.h"
#include "config/text_fields.h"
#include "instrument_session.h"
#include "link/operations.h"

namespace vexilo::cli {
namespace {

constexpr PlanKind kGroups[] = {PlanKind::New, PlanKind::Changed, PlanKind::Unchanged,
                                PlanKind::Misfit, PlanKind::OnlyOnInstrument};

std::string plan_line(const PlanEntry& entry) {
    std::string line =
        std::string(plan_kind_name(entry.kind)) + ": " + entry.class_name + ":" + entry.object_name;
    if (!entry.list.empty()) line += " (" + entry.list + ")";
    std::string details;
    const auto add = [&details](const std::string& part) {
        details += (details.empty() ? "" : "; ") + part;
    };
    if (!entry.old_class.empty()) add("class " + entry.old_class + " -> " + entry.class_name);
    for (const FieldChange& change : entry.fields) {
        add(change.field + ": " + (change.old_value.empty() ? "" : change.old_value + " ") + "-> " +
            change.new_value);
    }
    if (!entry.message.empty()) add(entry.message);
    return details.empty() ? line : line + ": " + details;
}

std::string count_line(const Plan& plan) {
    std::string line;
    for (const PlanKind kind : kGroups) {
        line += (line.empty() ? "" : ", ") + decimal(plan.count(kind)) + " " + plan_kind_name(kind);
    }
    return line;
}

QString json_text(const std::string& text) {
    return QString::fromStdString(windows1252_to_utf8(text));
}

QString json_kind(PlanKind kind) {
    return kind == PlanKind::OnlyOnInstrument ? QStringLiteral("only_on_instrument")
                                              : QString::fromLatin1(plan_kind_name(kind));
}

// Set once the JSON answer is out: a plan with misfits fails, but has answered.
bool json_written = false;

void write_json(const QJsonObject& object) {
    const QByteArray out = QJsonDocument(object).toJson();
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    json_written = true;
}

void print_json(const Plan& plan) {
    QJsonArray entries;
    for (const PlanEntry& entry : plan.entries) {
        QJsonObject object{{"kind", json_kind(entry.kind)},
                           {"class", json_text(entry.class_name)},
                           {"object", json_text(entry.object_name)}};
        if (!entry.list.empty()) object["list"] = json_text(entry.list);
        if (!entry.old_class.empty()) object["old_class"] = json_text(entry.old_class);
        if (!entry.message.empty()) object["message"] = json_text(entry.message);
        if (!entry.fields.empty()) {
            QJsonArray fields;
            for (const FieldChange& change : entry.fields) {
                fields.append(QJsonObject{{"field", json_text(change.field)},
                                          {"old", json_text(change.old_value)},
                                          {"new", json_text(change.new_value)}});
            }
            object["fields"] = fields;
        }
        entries.append(object);
    }
    QJsonObject counts;
    for (const PlanKind kind : kGroups)
        counts[json_kind(kind)] = plan.count(kind);
    write_json(QJsonObject{{"entries", entries}, {"counts", counts}});
}

// A consumer of --json reads stdout: a plan that could not be made answers there too, with
// the last error that was shown (every message still goes to stderr as well).
class JsonErrors final : public MessageHandler {
  public:
    JsonErrors() : inner_(set_message_handler(this)) {}
    ~JsonErrors() override { set_message_handler(inner_); }
    JsonErrors(const JsonErrors&) = delete;
    JsonErrors& operator=(const JsonErrors&) = delete;

    void show_error(const std::string& text) override {
        last_error_ = text;
        if (inner_ != nullptr) inner_->show_error(text);
    }
    void show_info(const std::string& text) override {
        if (inner_ != nullptr) inner_->show_info(text);
    }
    bool ask_yes_no(const std::string& question) override {
        return inner_ != nullptr && inner_->ask_yes_no(question);
    }

    // After the plan: the error object, unless the plan's JSON went out.
    void answer(int status) const {
        if (status == kDone || json_written) return;
        std::string error = last_error_;
        if (error.empty())
            error = status == kUsage ? "wrong usage (see vexilo-cli --help)" : "plan failed";
        write_json(QJsonObject{{"error", json_text(error)}});
    }

  private:
    MessageHandler* inner_;
    std::string last_error_;
};

int report(const Plan& plan, bool json) {
    if (!plan.ok) {
        if (!plan.error.empty()) show_error(plan.error);
        return kFailed;
    }
    if (json) {
        print_json(plan);
    } else {
        for (const PlanKind kind : kGroups) {
            for (const PlanEntry& entry : plan.entries) {
                if (entry.kind == kind) print_line(plan_line(entry));
            }
        }
        print_line(count_line(plan));
    }
    return plan.count(PlanKind::Misfit) > 0 ? kFailed : kDone;
}

}  // namespace

static int make_plan(const Args& args, const Options& options) {
    std::string instrument_file;
    bool json = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--instrument") {
            if (i + 1 >= args.size()) return usage_error("--instrument needs a SAVED file");
            if (!instrument_file.empty()) return usage_error("--instrument given twice");
            instrument_file = args[++i];
        } else if (args[i] == "--json") {
            json = true;
        } else if (args[i].starts_with("-")) {
            return usage_error("plan takes no option '" + args[i] + "'");
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty()) return usage_error("plan needs at least one FILE");

    if (!instrument_file.empty()) {
        auto instrument = std::make_unique<Configuration>();
        if (!load_list(instrument_file, *instrument, nullptr)) return kFailed;
        return report(plan_lists(*instrument, system_paths(files)), json);
    }
    InstrumentSession session;
    if (!session.open(options)) return kFailed;
    session.operations().plan(system_paths(files), &session.progress(),
                              [&session, json](const OperationResult& result) {
                                  if (!result.done()) {
                                      session.finish(result);
                                      return;
                                  }
                                  session.finish(report(result.plan, json));
                              });
    return session.run();
}

int plan(const Args& args, const Options& options) {
    if (std::find(args.begin(), args.end(), "--json") == args.end())
        return make_plan(args, options);
    const JsonErrors errors;
    const int status = make_plan(args, options);
    errors.answer(status);
    return status;
}

}  // namespace vexilo::cli
