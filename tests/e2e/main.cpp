#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
    // Programs started here (the workbench probe) record into an audit trail of their own.
    QTemporaryDir audit_folder;
    qputenv("VEXILO_AUDIT", audit_folder.filePath(QStringLiteral("audit.sqlite")).toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
