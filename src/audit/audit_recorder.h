#pragma once
// The instrument service's observer that writes the audit trail: a start event before
// anything goes to the instrument, a sending event with the comparison (fields old -> new)
// and the configuration read before, just before a send's queue goes out, and an end event
// with the outcome and the verification. The window and vexilo-cli both install it, so every
// operation leaves its record whoever started it.
//
// An audit failure never passes silently: when the start cannot be written the operation is
// refused, nothing sent; when a later event cannot be written an error says so (the operation
// has already reached the instrument and cannot be undone).

#include <QString>
#include <functional>
#include <map>
#include <optional>

#include "audit/audit_trail.h"
#include "link/operations.h"

namespace vexilo::audit {

// The "Ask For Reason" setting: 0 off (default), 1 optional, 2 required.
enum class ReasonMode { Off, Optional, Required };
inline constexpr const char* kReasonSetting = "Ask For Reason";
ReasonMode reason_mode();
void store_reason_mode(ReasonMode mode);

// Operations that change the instrument, the ones a reason is asked for.
bool changes_instrument(OperationKind kind);

class AuditRecorder final : public OperationObserver {
  public:
    // The reason typed by the operator: nothing when cancelled (the operation is not sent).
    using ReasonAsker = std::function<std::optional<QString>(const OperationStart&)>;

    explicit AuditRecorder(QString path = AuditTrail::default_path());

    AuditTrail& trail() { return trail_; }
    // vexilo-cli --reason: given for every operation of this run.
    void set_reason(const QString& reason) { reason_ = reason; }
    // The window's dialog, asked before an operation that changes the instrument when the
    // setting is optional or required.
    void set_reason_asker(ReasonAsker asker) { asker_ = std::move(asker); }

    std::string operation_starting(const OperationStart& start) override;
    void sending(const OperationStart& start, const Configuration* before,
                 const Plan& comparison) override;
    void operation_ended(const OperationStart& start, const OperationResult& result) override;
    void late_answer(const OperationStart& start, const OperationResult& result) override;

  private:
    void write(const OperationStart& start, const QString& kind, const QJsonObject& content);

    AuditTrail trail_;
    QString reason_;
    ReasonAsker asker_;
    std::map<const OperationStart*, qint64> records_;
    qint64 late_record_ = 0;  // the stopped send a late answer may still count for
};

}  // namespace vexilo::audit
