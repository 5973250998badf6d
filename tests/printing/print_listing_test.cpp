#include "printing/print_listing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <map>
#include <set>

#include "printing/listing.h"
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

QString run_tool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The window's printer, as the print dialog hands it over, printing into a PDF file.
bool print_to_pdf(const QString& pdf, int dpi, QPageSize::PageSizeId size,
                  const std::vector<std::string>& paths) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(dpi);
    printer.setPageSize(QPageSize(size));
    printer.setOutputFileName(pdf);
    return print_lists(printer, paths, [](const std::string&) {});
}

TEST(PrintListing, EveryResolutionAndPaperGivesTheSameTwoColumnsWithinThePage) {
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty()) GTEST_SKIP() << "pdftotext is not installed";
    QTemporaryDir dir;
    std::vector<std::string> paths;
    for (int twice = 0; twice < 2; ++twice) {
        for (const QString& name : QDir(VEXILO_EXAMPLE_LISTS).entryList({"*.nol"}, QDir::Files))
            paths.push_back(QString(VEXILO_EXAMPLE_LISTS "/" + name).toStdString());
    }
    const Listing listing = build_listing(paths);
    std::set<QString> known;
    for (const std::string& line : listing.lines)
        known.insert(QString::fromLatin1(line.c_str()).simplified());
    for (const std::string& name : listing.names)
        known.insert(QString::fromLatin1(name.c_str()) + " (continued)");
    // Its header is longer than a column: it must wrap, not run off the page.
    const QString long_name =
        dir.filePath("a_list_whose_name_is_far_too_long_for_one_column_of_the_page.nol");
    ASSERT_TRUE(QFile::copy(VEXILO_EXAMPLE_LISTS "/wash.nol", long_name));
    std::vector<std::string> with_long = paths;
    with_long.insert(with_long.begin() + 3, long_name.toStdString());

    for (const auto size : {QPageSize::A4, QPageSize::Letter}) {
        QString first_text;
        for (const int dpi : {300, 600, 1200}) {
            SCOPED_TRACE(testing::Message() << QPageSize::name(size).toStdString() << " " << dpi);
            const QString pdf = dir.filePath(QStringLiteral("listing-%1.pdf").arg(dpi));
            ASSERT_TRUE(print_to_pdf(pdf, dpi, size, paths));
            // Read back, each text line is a listing line, or a left and a right one side by
            // side: nothing of one column is drawn into the other or lost past the edge.
            const QString text = run_tool(pdftotext, {"-layout", pdf, "-"});
            // A long header goes on in the next line, so a piece of a listing line reads too.
            const auto listed_piece = [&](const QString& piece) {
                return std::any_of(known.begin(), known.end(),
                                   [&](const QString& line) { return line.contains(piece); });
            };
            QStringList squeezed_lines;
            for (const QString& raw : text.split('\n')) {
                const QString line = raw.simplified();
                // Blank lines come and go with the rounding of positions.
                if (line.isEmpty()) continue;
                squeezed_lines << line;
                bool read =
                    listed_piece(line) || QRegularExpression("^\\d+$").match(line).hasMatch();
                for (qsizetype at = line.indexOf(' '); !read && at > 0;
                     at = line.indexOf(' ', at + 1))
                    read = listed_piece(line.left(at)) && listed_piece(line.mid(at + 1));
                EXPECT_TRUE(read) << "mixed: " << raw.toStdString();
            }
            EXPECT_GE(text.count("Last Change"), 6);
            if (first_text.isEmpty()) first_text = squeezed_lines.join('\n');
            EXPECT_EQ(squeezed_lines.join('\n'), first_text) << "the page differs by resolution";

            ASSERT_TRUE(print_to_pdf(pdf, dpi, size, with_long));
            const QString boxes = run_tool(pdftotext, {"-bbox", pdf, "-"});
            const auto page = QRegularExpression("<page width=\"([\\d.]+)\"").match(boxes);
            ASSERT_TRUE(page.hasMatch());
            const double width = page.captured(1).toDouble();
            auto words = QRegularExpression("xMax=\"([\\d.]+)\"[^>]*>([^<]*)<").globalMatch(boxes);
            QString all_words;
            while (words.hasNext()) {
                const auto word = words.next();
                EXPECT_LE(word.captured(1).toDouble(), width) << word.captured(2).toStdString();
                all_words += word.captured(2);
            }
            EXPECT_TRUE(all_words.contains(QFileInfo(long_name).completeBaseName()));
        }
    }
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
    // be found, with its blanks squeezed, inside the PDF's lines as often as it is listed. A
    // header too long for a column goes on with its date in the next line.
    QStringList pdf_lines;
    for (const QString& line : back.out.split('\n'))
        pdf_lines << squeezed(line);
    std::map<QString, int> listed;
    for (const QString& line : lines) {
        if (line.isEmpty()) continue;
        const qsizetype date = line.indexOf(" Last Change ");
        if (date < 0) {
            ++listed[squeezed(line)];
        } else {
            ++listed[line.left(date)];
            ++listed[squeezed(line.mid(date))];
        }
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
    // Lists that go on in another column say so there, and a full page is used down to its
    // page number: what stays blank above it is less than the longest block (7 lines).
    EXPECT_EQ(back.out.count("(continued)"), 2);
    EXPECT_TRUE(back.out.contains("wash (continued)"));
    EXPECT_TRUE(back.out.contains("calibration (continued)"));
    const CliRun boxes = run(pdftotext, {"-bbox", "-f", "1", "-l", "1", pdf, "-"});
    auto words = QRegularExpression(R"re(yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">)re")
                     .globalMatch(boxes.out);
    std::vector<std::pair<double, double>> spans;
    while (words.hasNext()) {
        const auto word = words.next();
        spans.push_back({word.captured(1).toDouble(), word.captured(2).toDouble()});
    }
    ASSERT_GE(spans.size(), 2u);
    std::sort(spans.begin(), spans.end());
    const auto number = spans.back();  // the lowest word
    spans.pop_back();
    double lowest = 0;
    for (const auto& span : spans)
        lowest = std::max(lowest, span.second);
    EXPECT_LT(number.first - lowest, 8 * (number.second - number.first));
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
