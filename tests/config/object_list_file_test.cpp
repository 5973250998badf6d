#include "config/object_list_file.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <csignal>

#include <filesystem>
#include <fstream>
#include <memory>

#include "config/reader.h"
#include "config/text_file.h"
#include "support/file_modes_bind.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

namespace fs = std::filesystem;

int process_id() {
#if defined(_WIN32)
    return ::_getpid();
#else
    return ::getpid();
#endif
}

class ObjectListFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vexilo-olf-" + std::to_string(process_id()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code e;
        fs::permissions(dir_, fs::perms::owner_all, e);
        fs::remove_all(dir_, e);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    static std::string bytes_of(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static std::unique_ptr<Configuration> read_lines(std::vector<std::string> lines) {
        auto c = std::make_unique<Configuration>();
        clear_configuration(*c);
        EXPECT_TRUE(read_configuration(*c, lines));
        return c;
    }

    fs::path dir_;
};

const std::vector<std::string> kText = {"[lists]",          "0;2;Off;On",     "1;0",
                                        "[classes]",        "!Tray",          "Position;1;100;1;1;",
                                        "#Mode;0;1;0;0",    "&Label",         "!Rack",
                                        "Holder;Tray;Rack", "[objects]",      "Tray;Tray1;-10;1;",
                                        "Rack;Rack1;Tray1", "Rack;Rack2;none"};

TEST_F(ObjectListFile, WritesTheLayoutAndReadsBack) {
    test::MessageRecorder messages;
    auto config = read_lines(kText);
    std::vector<std::string> written{"old"};
    ASSERT_TRUE(write_object_list(*config, path("a.nol"), {"First", "  second "}, &written));
    const std::string expected =
        "First\r\n  second \r\n[LISTS]\r\n0;2;Off;On\r\n1;0\r\n[CLASSES]\r\n!Tray\r\n"
        "Position;1;100;1;1;\r\n#Mode;0;1;0;0\r\n&Label\r\n!Rack\r\nHolder;Tray;Rack\r\n"
        "[OBJECTS]\r\nTray;Tray1;-10;1;\r\nRack;Rack1;Tray1\r\nRack;Rack2;none\r\n";
    EXPECT_EQ(bytes_of(path("a.nol")), expected);
    EXPECT_EQ(written.front(), "First");
    EXPECT_EQ(written.size(), 16u);
    EXPECT_TRUE(messages.errors.empty());

    std::vector<std::string> comments;
    ASSERT_TRUE(read_comments(path("a.nol"), comments));
    EXPECT_EQ(comments, (std::vector<std::string>{"First", "  second "}));
}

TEST_F(ObjectListFile, DanglingReferencesWarnOnceEachAndStillWrite) {
    test::MessageRecorder messages;
    auto config = read_lines(kText);
    delete_object(*config, 0);  // Rack1 now names a removed object
    EXPECT_EQ(config->object_count, 2);
    EXPECT_EQ(text_of(config->objects[0].name), "Rack1");
    ASSERT_TRUE(write_object_list(*config, path("b.nol"), {}));
    EXPECT_EQ(messages.errors,
              (std::vector<std::string>{"Rack1 references Tray1 which does not exist!"}));
    EXPECT_EQ(bytes_of(path("b.nol")).substr(0, 9), "[LISTS]\r\n");
}

TEST_F(ObjectListFile, FailedWriteLeavesTheOldFileAndSaysSo) {
    test::MessageRecorder messages;
    auto config = read_lines(kText);
    const std::string target = path("keep.nol");
    { std::ofstream(target, std::ios::binary) << "old contents\r\n"; }
#if defined(_WIN32)
    // Windows ignores a folder's write mode; a file another program holds open without
    // leave to delete it cannot be replaced.
    const HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(write_object_list(*config, target, {"new"}));
    CloseHandle(held);
#else
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    {
        const test::FileModesBind modes;
        EXPECT_FALSE(write_object_list(*config, target, {"new"}));
    }
    fs::permissions(dir_, fs::perms::owner_all);
#endif
    EXPECT_EQ(messages.errors, (std::vector<std::string>{"Cannot create file " + target}));
    EXPECT_EQ(bytes_of(target), "old contents\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

#if !defined(_WIN32)
// Windows has no file size limit to cut a write short with.
TEST_F(ObjectListFile, WriteCutShortPartWayLeavesTheOldFile) {
    // A file size limit makes the write fail half-way, as a full disk would, even for root.
    test::MessageRecorder messages;
    auto config = read_lines(kText);
    const std::string target = path("full.nol");
    { std::ofstream(target, std::ios::binary) << "old contents\r\n"; }
    rlimit old_limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_limit;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = write_object_list(*config, target, {"a new list"});
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(written);
    EXPECT_EQ(messages.errors.back(), "Cannot create file " + target);
    EXPECT_EQ(bytes_of(target), "old contents\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}
#endif

TEST_F(ObjectListFile, AFolderIsRefusedBeforeAnythingIsWritten) {
    test::MessageRecorder messages;
    auto config = read_lines(kText);
    fs::create_directory(path("taken.nol"));
    fs::create_directory(path("taken.nol/inside"));
    EXPECT_FALSE(write_object_list(*config, path("taken.nol"), {}));
    EXPECT_EQ(messages.errors.back(), "Cannot create file " + path("taken.nol"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_directory(path("taken.nol/inside")));
}

#if !defined(_WIN32)
TEST_F(ObjectListFile, ARefusedRenameLeavesTheOldFileAndNoTemporaryFile) {
    // Another user's file in another user's folder with the sticky bit: anyone may write the
    // file and create files beside it, but only its owner may replace it.
    const fs::path shared = dir_ / "shared";
    fs::create_directory(shared);
    const std::string theirs = (shared / "theirs.nol").string();
    { std::ofstream(theirs, std::ios::binary) << "old\r\n"; }
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    fs::permissions(theirs, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::group_write | fs::perms::others_read |
                                fs::perms::others_write);
    const uid_t nobody = 65534;
    if (::chown(shared.c_str(), nobody, nobody) != 0 ||
        ::chown(theirs.c_str(), nobody, nobody) != 0)
        GTEST_SKIP() << "giving files to another user needs root";
    test::MessageRecorder messages;
    auto config = read_lines(kText);
    bool written = true;
    {
        const test::FileModesBind modes;
        written = write_object_list(*config, theirs, {});
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(messages.errors, (std::vector<std::string>{"Cannot create file " + theirs}));
    EXPECT_EQ(bytes_of(theirs), "old\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 1);
}
#endif

TEST_F(ObjectListFile, ReplacedFileKeepsItsPermissionsAndAReadOnlyFileIsKept) {
    test::MessageRecorder messages;
    auto config = read_lines(kText);
#if !defined(_WIN32)  // Windows files have no mode bits beyond read-only
    const std::string shared = path("shared.nol");
    { std::ofstream(shared, std::ios::binary) << "old\r\n"; }
    fs::permissions(shared, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);
    ASSERT_TRUE(write_object_list(*config, shared, {}));
    EXPECT_EQ(fs::status(shared).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
#endif

    const std::string locked = path("locked.nol");
    { std::ofstream(locked, std::ios::binary) << "old\r\n"; }
    fs::permissions(locked, fs::perms::owner_read);
    {
#if !defined(_WIN32)
        const test::FileModesBind modes;
#endif
        EXPECT_FALSE(write_object_list(*config, locked, {}));
    }
    EXPECT_EQ(messages.errors, (std::vector<std::string>{"Cannot create file " + locked}));
    EXPECT_EQ(bytes_of(locked), "old\r\n");
    fs::permissions(locked, fs::perms::owner_all);  // Windows deletes no read-only file
}

TEST_F(ObjectListFile, CommentBlockRules) {
    EXPECT_EQ(last_comment_line({"a", "b", "[lists]", "[LISTS]"}), 2);
    EXPECT_EQ(last_comment_line({"[Lists]"}), -1);
    EXPECT_EQ(last_comment_line({"a", " [LISTS]"}), -1);

    test::MessageRecorder messages;
    const std::string p = path("c.nol");
    { std::ofstream(p, std::ios::binary) << "[LISTS]\r\n0;1;a\r\n[CLASSES]\r\n"; }
    ASSERT_TRUE(replace_comments({"new one", ""}, p));
    EXPECT_EQ(bytes_of(p), "new one\r\n\r\n[LISTS]\r\n0;1;a\r\n[CLASSES]\r\n");
    ASSERT_TRUE(replace_comments({"x"}, p));
    EXPECT_EQ(bytes_of(p), "x\r\n[LISTS]\r\n0;1;a\r\n[CLASSES]\r\n");

    // Without a "[LISTS]" line nothing is lost: the new lines go on top.
    const std::string q = path("d.txt");
    { std::ofstream(q, std::ios::binary) << "one\ntwo\n"; }
    ASSERT_TRUE(replace_comments({"top"}, q));
    EXPECT_EQ(bytes_of(q), "top\r\none\r\ntwo\r\n");
    std::vector<std::string> comments = {"stale"};
    ASSERT_TRUE(read_comments(q, comments));
    EXPECT_TRUE(comments.empty());

    // A missing file: nothing to read, nothing created.
    ASSERT_TRUE(replace_comments({"x"}, path("missing.nol")));
    EXPECT_FALSE(fs::exists(path("missing.nol")));
    EXPECT_TRUE(messages.errors.empty());
}

TEST_F(ObjectListFile, ListsKeepTheirNumbers) {
    std::vector<std::string> text = kText;
    text[2] = "5;0;Low;High";
    auto config = read_lines(text);
    const std::string p = path("gap.nol");
    ASSERT_TRUE(write_object_list(*config, p, {}));
    auto lines = *read_text_lines(p);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 4),
              (std::vector<std::string>{"0;2;Off;On", "5;0;Low;High", "[CLASSES]"}));
    auto again = read_lines(lines);
    EXPECT_EQ(again->list_count, 6);
    EXPECT_EQ(text_of(again->lists[5].entries[1]), "High");
    EXPECT_EQ(again->lists[3].entry_count, 0);
}

TEST_F(ObjectListFile, WhatWouldNotReadBackIsRefusedAndAReadableFileTakesNewComments) {
    test::MessageRecorder messages;
    auto config = read_lines(kText);
    const std::string p = path("h.nol");
    // A header followed by a zero byte is a header to the reader too, the longest as well.
    EXPECT_FALSE(write_object_list(*config, p, {"ok", std::string("[LISTS]\0x", 9)}));
    EXPECT_FALSE(write_object_list(*config, p, {std::string("[objects]\0x", 11)}));
    // A minimum "+5" beside a class "5" reads as a Number, but written it would name the class.
    auto five = read_lines({"[lists]", "[classes]", "!5", "!Tray", "P;+5;9;5;1;mm", "[objects]"});
    EXPECT_EQ(five->classes[1].fields[0].kind, FieldKind::Number);
    EXPECT_FALSE(write_object_list(*five, p, {}));
    EXPECT_FALSE(fs::exists(p));
    EXPECT_EQ(messages.errors,
              (std::vector<std::string>{
                  "Comment line 2 reads as the section header [LISTS]?x: a description cannot "
                  "hold one",
                  "Comment line 1 reads as the section header [objects]?x: a description cannot "
                  "hold one",
                  "Tray:P min 5 is also the name of a class: written, the field would read back "
                  "as a reference"}));

    // A stray "[lists]" line (the file reads) goes with the old block; classes written before
    // the lists are no comment and stay.
    const std::string body = "[LISTS]\r\n[CLASSES]\r\n!T\r\n&L\r\n[OBJECTS]\r\nT;a;b\r\n";
    const std::string classes_first = "[CLASSES]\r\n!T\r\n&L\r\n[LISTS]\r\n[OBJECTS]\r\nT;a;b\r\n";
    for (const std::string& old : {"[lists]\r\nold\r\n" + body, classes_first}) {
        { std::ofstream(p, std::ios::binary) << old; }
        messages.errors.clear();
        std::vector<std::string> block;
        ASSERT_TRUE(read_comments(p, block));
        EXPECT_EQ(block.size(), old == classes_first ? 0u : 2u);
        EXPECT_FALSE(replace_comments({"[atoms]"}, p));
        EXPECT_EQ(bytes_of(p), old);
        ASSERT_TRUE(replace_comments({"new"}, p)) << old;
        EXPECT_EQ(bytes_of(p), "new\r\n" + (old == classes_first ? old : body));
        EXPECT_EQ(object_display_lines(*read_lines(*read_text_lines(p))),
                  (std::vector<std::string>{"T:a"}));
        EXPECT_EQ(messages.errors.size(), 1u);
    }
}
}  // namespace
}  // namespace vexilo
