#include "printing/print_listing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <map>

#include "support/message_recorder.h"

namespace vexilo {
namespace {

TEST(PrintSelectedLists, NothingSelectedOrACancelledDialogPrintsNothing) {
    test::MessageRecorder messages;
    std::vector<std::string> statuses;
    const auto status = [&](const std::string& text) { statuses.push_back(text); };

    print_selected_lists({}, nullptr, status);
    EXPECT_EQ(messages.errors, std::vector<std::string>{kNothingSelectedToPrint});

    bool cancelled = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            cancelled = true;
            dialog->reject();
        }
    });
    closer.start(20);
    print_selected_lists({VEXILO_EXAMPLE_LISTS "/wash.nol"}, nullptr, status);
    closer.stop();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(messages.errors.size(), 1u);
    EXPECT_TRUE(statuses.empty());
}

struct CliRun {
    int exit_code = -1;
    QString out, err;
};

class CliListing : public testing::Test {
  protected:
    CliRun run(const QString& program, const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VEXILO_SETTINGS", dir_.filePath("settings.ini"));
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    static QStringList example_lists() {
        QStringList lists;
        for (const QString& name : QDir(VEXILO_EXAMPLE_LISTS).entryList({"*.nol"}, QDir::Files)) {
            lists << QString(VEXILO_EXAMPLE_LISTS) + "/" + name;
        }
        return lists;
    }

    QTemporaryDir dir_;
};

QString squeezed(const QString& text) {
    return text.simplified();
}

TEST_F(CliListing, ThePdfCarriesTheListingLinesAndPageNumbers) {
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
    // The example lists twice fill more than one page.
    const QStringList lists = example_lists() + example_lists();
    ASSERT_EQ(lists.size(), 6);

    const CliRun text = run(VEXILO_CLI, QStringList{"listing"} + lists);
    ASSERT_EQ(text.exit_code, 0) << text.err.toStdString();
    const QStringList lines = text.out.split('\n');
    EXPECT_EQ(lines.filter(QRegularExpression("^Object List \"\\w+\" Last Change ")).size(), 6);
    EXPECT_TRUE(lines.contains("Volume       :           50    \u00B5l"));

    const QString pdf = dir_.filePath("listing.pdf");
    const CliRun printed =
        run(VEXILO_CLI, QStringList{"listing"} + lists + QStringList{"--pdf", pdf});
    ASSERT_EQ(printed.exit_code, 0) << printed.err.toStdString();
    EXPECT_TRUE(printed.err.contains("status: Printing modules\n"));
    EXPECT_TRUE(printed.err.contains("status: Module descriptions printed\n"));

    const CliRun back = run(pdftotext, {"-layout", pdf, "-"});
    ASSERT_EQ(back.exit_code, 0) << back.err.toStdString();
    // Two columns share a text line, and spacing is only approximated: each listing line must
    // be found, with its blanks squeezed, inside the PDF's lines as often as it is listed.
    QStringList pdf_lines;
    for (const QString& line : back.out.split('\n'))
        pdf_lines << squeezed(line);
    std::map<QString, int> listed;
    for (const QString& line : lines) {
        if (!line.isEmpty()) ++listed[squeezed(line)];
    }
    for (const auto& [line, times] : listed) {
        qsizetype found = 0;
        for (const QString& l : pdf_lines)
            found += l.count(line);
        EXPECT_GE(found, times) << "missing from the PDF: " << line.toStdString();
    }
    // Pages are separated by form feeds; each carries its own number on a line of its own.
    QStringList pages = back.out.split('\f');
    if (pages.last().trimmed().isEmpty()) pages.removeLast();
    ASSERT_GE(pages.size(), 2);
    for (int p = 0; p < pages.size(); ++p) {
        const QStringList page_lines = pages[p].split('\n');
        const bool numbered = std::any_of(page_lines.begin(), page_lines.end(), [&](auto& l) {
            return l.trimmed() == QString::number(p + 1);
        });
        EXPECT_TRUE(numbered) << "page " << p + 1 << " has no page number";
    }
}

TEST_F(CliListing, FailuresAreReportedNotPrinted) {
    CliRun r = run(VEXILO_CLI, {"listing"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(r.err.contains("error: No modules selected -- no descriptions printed!"));

    r = run(VEXILO_CLI, {"listing", example_lists().first(), "--pdf"});
    EXPECT_EQ(r.exit_code, 2);

    const QString nowhere = dir_.filePath("missing/listing.pdf");
    r = run(VEXILO_CLI, {"listing", example_lists().first(), "--pdf", nowhere});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(r.err.contains("error: Cannot create file " + nowhere)) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("Module descriptions printed"));

    // A list that cannot be read still gets its header, and the status says so.
    r = run(VEXILO_CLI, {"listing", dir_.filePath("gone.nol"), example_lists().first()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(r.out.startsWith("Object List \"gone\" Last Change unknown\n\nObject List "));
    EXPECT_TRUE(r.err.contains("error: Cannot open file "));
}

}  // namespace
}  // namespace vexilo
