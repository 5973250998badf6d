#include "printing/listing.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <fstream>

#include "support/message_recorder.h"

namespace vexilo {
namespace {

class ListingTest : public testing::Test {
  protected:
    std::string write(const std::string& name, const std::vector<std::string>& lines) {
        const std::string path = dir_.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream out(path, std::ios::binary);
        for (const auto& line : lines)
            out << line << "\r\n";
        return path;
    }
    std::string path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }

    static std::string fixed_date(const std::string&) { return "04.03.2021"; }

    QTemporaryDir dir_;
    test::MessageRecorder messages_;
};

const std::vector<std::string> kPumps = {"A list of pumps",
                                         "[LISTS]",
                                         "0;3;Low;Medium;High",
                                         "[CLASSES]",
                                         "!Pump",
                                         "Volume;0;1000;100;10;ul",
                                         "#Speed;0;2;1;0",
                                         "Gain;0;9;1;1;E",
                                         "[OBJECTS]",
                                         "Pump;P1;10;2;3",
                                         "Pump;Second pump;250;0;9"};

TEST_F(ListingTest, EachListGivesItsHeaderThenOneBlockPerObject) {
    // The second list defines a class of the same name differently: it is read on its own.
    const std::vector<std::string> other = {
        "[LISTS]",           "[CLASSES]",     "!Pump",     "&Description of the pump",
        "Rate;0;9;1;1;ml/s", "#Mode;0;1;0;7", "[OBJECTS]", "Pump;Third;Long text value;-4;1",
        "Pump;Fourth;;5;0",  "[ATOMS]"};
    const Listing listing =
        build_listing({write("pumps.nol", kPumps), write("x.y.NOL", other)}, fixed_date);
    EXPECT_TRUE(listing.complete);
    EXPECT_TRUE(messages_.errors.empty());
    const std::vector<std::string> expected = {"Object List \"pumps\" Last Change 04.03.2021",
                                               "",
                                               "Pump P1",
                                               "Volume       :           10    ul",
                                               "Speed        :         High      ",
                                               "Gain         :            3      ",
                                               "",
                                               "Pump Second pump",
                                               "Volume       :          250    ul",
                                               "Speed        :          Low      ",
                                               "Gain         :            9      ",
                                               "",
                                               "Object List \"x.y\" Last Change 04.03.2021",
                                               "",
                                               "Pump Third",
                                               "Description of the pump:Long text value      ",
                                               "Rate         :           -4  ml/s",
                                               "Mode         :            1      ",
                                               "",
                                               "Pump Fourth",
                                               "Description of the pump:" + std::string(19, ' '),
                                               "Rate         :            5  ml/s",
                                               "Mode         :            0      ",
                                               ""};
    EXPECT_EQ(listing.lines, expected);
}

TEST_F(ListingTest, AListThatCannotBeReadKeepsItsHeaderAndShowsWhy) {
    std::vector<std::string> broken = kPumps;
    broken.back() = "Pump;Second pump;lots;0;9";
    const Listing listing = build_listing(
        {path("gone.nol"), write("broken.nol", broken), write("pumps.nol", kPumps)}, fixed_date);
    EXPECT_FALSE(listing.complete);
    ASSERT_EQ(messages_.errors.size(), 2u);
    EXPECT_EQ(messages_.errors[0], "Cannot open file " + path("gone.nol"));
    EXPECT_EQ(messages_.errors[1], "Not a number:Second pump:Volume");
    // A failed reading leaves values that did not come from the file: no object of the
    // broken list is listed, and the good list after it is listed whole.
    ASSERT_EQ(listing.lines.size(), 16u);
    EXPECT_EQ(listing.lines[0], "Object List \"gone\" Last Change 04.03.2021");
    EXPECT_EQ(listing.lines[2], "Object List \"broken\" Last Change 04.03.2021");
    EXPECT_EQ(listing.lines[3], "");
    EXPECT_EQ(listing.lines[4], "Object List \"pumps\" Last Change 04.03.2021");
    EXPECT_EQ(listing.lines[6], "Pump P1");
}

TEST_F(ListingTest, NamesAndDatesComeFromTheFile) {
    const std::string file = write("dated.nol", kPumps);
    QFile f(QString::fromStdString(file));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2021, 3, 4), QTime(12, 0)),
                              QFileDevice::FileModificationTime));
    f.close();
    const QString expected = QLocale::system().toString(QDate(2021, 3, 4), QLocale::ShortFormat);
    EXPECT_EQ(file_change_date(file), expected.toStdString());
    EXPECT_EQ(file_change_date(path("gone.nol")), "unknown");
}

}  // namespace
}  // namespace vexilo
