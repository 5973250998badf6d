// GUI tests run in one QApplication, offscreen unless told otherwise, and with a
// settings file and audit trail of their own, so nothing touches the operator's real settings.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

QtMessageHandler previous_handler = nullptr;

// The offscreen platform reports every window feature it lacks; that is noise here.
void quiet_platform_notes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support"))) return;
    if (previous_handler != nullptr) previous_handler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    previous_handler = qInstallMessageHandler(quiet_platform_notes);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings_folder;
    qputenv("VEXILO_SETTINGS", settings_folder.filePath(QStringLiteral("settings")).toLocal8Bit());
    // The audit trail too: every operation a test runs leaves its record there.
    qputenv("VEXILO_AUDIT", settings_folder.filePath(QStringLiteral("audit.sqlite")).toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
