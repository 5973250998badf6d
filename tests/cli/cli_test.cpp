// vexilo-cli's list commands, run as a separate program: output streams and exit status.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string kExamples = VEXILO_EXAMPLES;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Lines lines_of(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vexilo-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("VEXILO_SETTINGS", (dir_ / "settings.ini").c_str(), 1);
        ::setenv("VEXILO_AUDIT", (dir_ / "audit.sqlite").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // shell_prefix runs before the program in the same shell (a ulimit, say).
    Result run(const Lines& args, const std::string& shell_prefix = "") {
        std::string command = shell_prefix + quoted(VEXILO_CLI);
        for (const std::string& arg : args) {
            command += ' ';
            command += quoted(arg);
        }
        return run_shell(command);
    }

    // A command line for bash, with VEXILO_CLI at hand as $CLI.
    Result run_bash(const std::string& line) {
        return run_shell("CLI=" + quoted(VEXILO_CLI) + " bash -c " + quoted(line));
    }

    Result run_shell(std::string command) {
        command += " >";
        command += quoted((dir_ / "stdout").string());
        command += " 2>";
        command += quoted((dir_ / "stderr").string());
        const int raw = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = read_file(dir_ / "stdout");
        r.err = read_file(dir_ / "stderr");
        return r;
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }

    fs::path dir_;
};

TEST_F(Cli, DownloadLinesPrintsTheQueuedCommands) {
    const Result r = run({"download-lines", "--instrument", kExamples + "/instrument.nol",
                          kExamples + "/lists/assay.nol", kExamples + "/lists/calibration.nol",
                          kExamples + "/lists/wash.nol"});
    EXPECT_EQ(r.status, 0) << r.err;
    const Lines out = lines_of(r.out);
    ASSERT_EQ(out.size(), 15u);
    EXPECT_EQ(out.front(), "DLD_OBJ Tray;AssayTray;60;1;Plate;");
    EXPECT_EQ(out.back(), "DLD_OBJ Method;Wash;3;WashA;None;300;Rinse;");
    EXPECT_NE(r.err.find("status: Downloading module calibration\n"), std::string::npos);
}

TEST_F(Cli, DownloadLinesMisfitPrintsNothingOnStdout) {
    // A pump list whose volume is in ml, where the instrument counts in µl.
    std::string list = read_file(kExamples + "/lists/wash.nol");
    const std::string micro = "Volume;0;1000;100;10;\xb5l";
    ASSERT_NE(list.find(micro), std::string::npos);
    list.replace(list.find(micro), micro.size(), "Volume;0;1000;100;10;ml");
    write("ml.nol", list);
    const Result r = run({"download-lines", "--instrument", kExamples + "/instrument.nol",
                          kExamples + "/lists/assay.nol", path("ml.nol")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("error: Class \"Pump\",Field \"Volume\":: units: ml vs \xc2\xb5l\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("status: Download cancelled\n"), std::string::npos);

    const Result missing =
        run({"download-lines", "--instrument", kExamples + "/instrument.nol", path("none.nol")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("error: Cannot open file " + path("none.nol")), std::string::npos);

    EXPECT_EQ(run({"download-lines", kExamples + "/lists/wash.nol"}).status, 2);
}

TEST_F(Cli, RewriteKeepsTheCommentsAndIsStable) {
    const Result r = run({"rewrite", kExamples + "/lists/calibration.nol", path("a.nol")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    const std::string first = read_file(path("a.nol"));
    EXPECT_EQ(
        first.rfind("Calibration run\r\nStandard tray and detector at 280 nm\r\n[LISTS]\r\n", 0),
        0u);
    ASSERT_EQ(run({"rewrite", path("a.nol"), path("b.nol")}).status, 0);
    EXPECT_EQ(read_file(path("b.nol")), first);
    EXPECT_EQ(run({"check", path("b.nol")}).out,
              run({"check", kExamples + "/lists/calibration.nol"}).out);

    // A dangling reference warns and is written all the same.
    write("dangling.nol",
          "[LISTS]\n[CLASSES]\n!Tray\n!Rack\nHolder;Tray\n[OBJECTS]\nRack;R1;Gone\n");
    const Result warned = run({"rewrite", path("dangling.nol"), path("c.nol")});
    EXPECT_EQ(warned.status, 0);
    EXPECT_EQ(warned.err, "error: R1 references Gone which does not exist!\n");
    EXPECT_TRUE(fs::exists(path("c.nol")));

    EXPECT_EQ(run({"rewrite", path("missing.nol"), path("d.nol")}).status, 1);
    EXPECT_FALSE(fs::exists(path("d.nol")));
}

TEST_F(Cli, CommentsPrintAndReplace) {
    fs::copy_file(kExamples + "/lists/wash.nol", path("wash.nol"));
    Result r = run({"comments", path("wash.nol")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Wash cycle\nBoth pumps, cold tray\n");

    write("text.txt", "New description\n  indented; with \xb5l\n");
    r = run({"comments", path("wash.nol"), "--set", path("text.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string after = read_file(path("wash.nol"));
    EXPECT_EQ(
        after.rfind("New description\r\n  indented; with \xb5l\r\n[LISTS]\r\n0;2;Off;On\r\n", 0),
        0u);
    EXPECT_EQ(run({"comments", path("wash.nol")}).out,
              "New description\n  indented; with \xc2\xb5l\n");

    r = run({"comments", path("nowhere.nol")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Cannot open file " + path("nowhere.nol") + "\n");
    EXPECT_EQ(run({"comments"}).status, 2);
}

TEST_F(Cli, ConvertCarriesObjectsCarefully) {
    write("source.nol",
          "From the bench\n[LISTS]\n0;2;Off;On\n[CLASSES]\n!Tray\nPosition;1;500;1;1;mm\n"
          "#Cooling;0;1;0;0\n&Label\n!Lamp\nPower;0;9;1;1;W\n[OBJECTS]\n"
          "Tray;Tray1;500;1;Far\nLamp;L1;3\nTray;T9;7;0;Near\n");
    const Result r = run({"convert", path("source.nol"), kExamples + "/instrument.nol", "-o",
                          path("out.nol"), "--log"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out),
              (Lines{"Set Position of Tray1 to 120 because the corresponding field in the source "
                     "was too big",
                     "Didnt include L1 because there are no Lamps in the destination list"}));
    EXPECT_EQ(r.err, "info: Didnt include L1 because there are no Lamps in the destination list\n");
    const Result objects = run({"check", path("out.nol")});
    const Lines shown = lines_of(objects.out);
    ASSERT_EQ(shown.size(), 10u);
    EXPECT_EQ(shown.back(), "Tray:T9");
    const std::string out = read_file(path("out.nol"));
    EXPECT_EQ(out.rfind("Nimbra lab instrument, bench 2\r\n", 0), 0u);
    EXPECT_NE(out.find("\r\nTray;Tray1;120;1;Far\r\n"), std::string::npos);

    // Only the named objects, and without --log nothing on stdout.
    const Result one = run({"convert", path("source.nol"), kExamples + "/instrument.nol", "-o",
                            path("one.nol"), "--object", "t9"});
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out, "");
    EXPECT_EQ(lines_of(run({"check", path("one.nol")}).out).size(), 10u);

    const Result unknown = run({"convert", path("source.nol"), kExamples + "/instrument.nol", "-o",
                                path("two.nol"), "--object", "Nobody"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "error: No object Nobody in " + path("source.nol") + "\n");
    EXPECT_FALSE(fs::exists(path("two.nol")));
    EXPECT_EQ(run({"convert", path("source.nol"), kExamples + "/instrument.nol"}).status, 2);
}

TEST_F(Cli, DescribePrintsNameValueAndUnitsOfEachField) {
    const Result r = run({"describe", kExamples + "/lists/wash.nol", "wash"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out), (Lines{"Step\tWash\t", "Pump\tWashA\t", "Detector\tNone\t",
                                      "Duration\t300\ts", "Note\tRinse\t"}));
    const Result pump = run({"describe", kExamples + "/lists/wash.nol", "WashA"});
    EXPECT_EQ(lines_of(pump.out).front(), "Volume\t1000\t\xc2\xb5l");

    const Result unknown = run({"describe", kExamples + "/lists/wash.nol", "Nobody"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "error: Unknown object: \"Nobody\"\n");
    EXPECT_EQ(run({"describe", kExamples + "/lists/wash.nol"}).status, 2);
}

TEST_F(Cli, InstrumentCommandsWithoutAnInstrument) {
    // A port that cannot be opened: the reason, no dialog.
    const Result missing = run({"--port", path("no-such-tty"), "restart"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("error: Cannot open ", 0), 0u) << missing.err;
    EXPECT_NE(missing.err.find(path("no-such-tty")), std::string::npos);

    // The question is answered No without --yes: nothing is sent, not even the port opened.
    const Result no = run({"--port", path("no-such-tty"), "remove-all"});
    EXPECT_EQ(no.status, 1);
    EXPECT_EQ(no.err, "question: Do you really want to remove all objects from the Nimbra?\n");

    EXPECT_EQ(run({"--port", "COMx", "restart"}).status, 1);
    EXPECT_EQ(run({"send"}).status, 2);
    EXPECT_EQ(run({"get-config", "extra"}).status, 2);

    // The port map: a number leads to the device set for it.
    EXPECT_EQ(run({"ports", "COM4", path("tty4")}).status, 0);
    const Lines ports = lines_of(run({"ports"}).out);
    ASSERT_GE(ports.size(), 11u);
    EXPECT_EQ(ports[3], "COM4\t" + path("tty4") + "\t(mapped)\t(not present)");
    const Result mapped = run({"--port", "4", "restart"});
    EXPECT_NE(mapped.err.find("(" + path("tty4") + ")"), std::string::npos) << mapped.err;
    EXPECT_EQ(run({"ports", "/dev/x", "y"}).status, 2);
}

TEST_F(Cli, WritingFollowsLinksAndNeverRenamesOverOtherFiles) {
    const std::string in = kExamples + "/lists/wash.nol";
    // A link keeps pointing at its file, which gets the new text.
    write("real.nol", "old\r\n");
    fs::create_symlink("real.nol", path("link.nol"));
    write("real.nol.0123456789abcdef.tmp", "left by a killed save");
    ASSERT_EQ(run({"rewrite", in, path("link.nol")}).status, 0);
    EXPECT_TRUE(fs::is_symlink(path("link.nol")));
    ASSERT_EQ(run({"rewrite", in, path("plain.nol")}).status, 0);
    EXPECT_EQ(read_file(path("real.nol")), read_file(path("plain.nol")));
    EXPECT_FALSE(fs::exists(path("real.nol.0123456789abcdef.tmp")));

    // The program's own output goes where it stands: a log appended to keeps its lines.
    write("log", "earlier\n");
    ASSERT_EQ(
        run_bash("$CLI rewrite " + quoted(in) + " /dev/stdout >> " + quoted(path("log"))).status,
        0);
    EXPECT_EQ(read_file(path("log")), "earlier\n" + read_file(path("plain.nol")));

    // A device is written in place, a FIFO nobody reads is refused without waiting.
    EXPECT_EQ(run({"rewrite", in, "/dev/null"}).status, 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    const Result fifo = run({"rewrite", in, path("fifo")});
    EXPECT_EQ(fifo.status, 1);
    EXPECT_EQ(fifo.err, "error: Cannot create file " + path("fifo") + "\n");
    EXPECT_TRUE(fs::is_fifo(path("fifo")));

    // A file too large for the limit is an error like any other; the old file stays.
    write("small.nol", "old\r\n");
    const Result limited =
        run({"rewrite", kExamples + "/instrument.nol", path("small.nol")}, "ulimit -f 1; ");
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, "error: Cannot create file " + path("small.nol") + "\n");
    EXPECT_EQ(read_file(path("small.nol")), "old\r\n");
    write("old.pdf", "old");
    const Result pdf = run({"listing", in, "--pdf", path("old.pdf")}, "ulimit -f 1; ");
    EXPECT_EQ(pdf.status, 1);
    EXPECT_EQ(pdf.err.find("Module descriptions printed"), std::string::npos) << pdf.err;
    EXPECT_EQ(read_file(path("old.pdf")), "old");
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST_F(Cli, ReadsFilesAndPipesNamedOnPurposeWithAnyLineEnds) {
    // A raw capture of an instrument reply ends its lines with CR alone.
    const std::string wash = kExamples + "/lists/wash.nol";
    const std::string expected = run({"check", wash}).out;
    ASSERT_FALSE(expected.empty());
    std::string text = read_file(wash);
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at + 1, 1);
    write("cr.nol", text);
    EXPECT_EQ(run({"check", path("cr.nol")}).out, expected);

    // Standard input and "<(...)" are pipes the operator named; a FIFO nobody writes reads
    // as empty at once; a device is still refused.
    EXPECT_EQ(run_bash("$CLI check /dev/stdin < " + quoted(path("cr.nol"))).out, expected);
    EXPECT_EQ(run_bash("$CLI check <(cat " + quoted(wash) + ")").out, expected);
    const Result set = run_bash("printf 'From a pipe\\n' | $CLI comments " +
                                quoted(path("cr.nol")) + " --set /dev/stdin");
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(run({"comments", path("cr.nol")}).out, "From a pipe\n");
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(run({"check", path("fifo")}).err,
              "error: No classes are defined! How then, shall I define objects?!\n");
    const Result device = run({"check", "/dev/zero"});
    EXPECT_EQ(device.status, 1);
    EXPECT_EQ(device.err, "error: Cannot open file /dev/zero (not a regular file)\n");
}

TEST_F(Cli, ArgumentsAreConvertedForNamesAndKeptForPaths) {
    // The list holds Windows-1252 ("W\xe4sche"); the file's own name is the system's UTF-8.
    std::string text = read_file(kExamples + "/lists/wash.nol");
    const std::size_t at = text.find("Method;Wash;");
    ASSERT_NE(at, std::string::npos);
    text.replace(at + 7, 4, "W\xe4sche");
    const std::string file = path("W\xc3\xa4sche.nol");
    write("W\xc3\xa4sche.nol", text);
    const Result r = run({"describe", file, "W\xc3\xa4sche"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out).front(), "Step\tWash\t");
    const Lines objects = lines_of(run({"check", file}).out);
    EXPECT_NE(std::find(objects.begin(), objects.end(), "Method:W\xc3\xa4sche"), objects.end());
    // A message shows the name as it was typed.
    EXPECT_EQ(run({"describe", file, "N\xc3\xa4"}).err, "error: Unknown object: \"N\xc3\xa4\"\n");

    // A file's name, as a list name or in a message, is converted once on its way out.
    const Result sent =
        run({"download-lines", "--instrument", kExamples + "/instrument.nol", file});
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_NE(sent.err.find("status: Downloading module W\xc3\xa4sche\n"), std::string::npos)
        << sent.err;
    EXPECT_EQ(run({"listing", file}).out.rfind("Object List \"W\xc3\xa4sche\" Last Change ", 0),
              0u);
    const std::string missing = path("N\xc3\xa4he.nol");
    EXPECT_EQ(run({"check", missing}).err.rfind("error: Cannot open file " + missing, 0), 0u);
}

TEST_F(Cli, NamesAndPathsReachTheTerminalEscaped) {
    // A list file whose name sets a colour and breaks the line, a stored device path that sets
    // the window title: shown, never obeyed.
    const std::string list = "e\x1b[31mx\ny.nol";
    write(list, read_file(kExamples + "/lists/wash.nol"));
    Result r = run({"plan", "--instrument", kExamples + "/instrument.nol", path(list)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out).front(), "new: Pump:WashA (e\\x1b[31mx\\ny)");
    EXPECT_EQ(lines_of(r.out).size(), 14u);
    r = run({"check", path("gone\x1b[2J.nol")});
    EXPECT_EQ(r.err, "error: Cannot open file " + path("gone\\x1b[2J.nol") + "\n");

    ASSERT_EQ(run({"ports", "COM2", "/dev/a\x1b]0;x\x07\nb"}).status, 0);
    r = run({"ports"});
    EXPECT_EQ(lines_of(r.out).at(1), "COM2\t/dev/a\\x1b]0;x\\x07\\nb\t(mapped)\t(not present)");
}

TEST_F(Cli, PlanJsonNamesListsAfterTheirFilesAndAnswersFailures) {
    const std::string wash = read_file(kExamples + "/lists/wash.nol");
    write("W\xc3\xa4sche.nol", wash);
    write("a\"b\\c.nol", wash);
    const std::string instrument = kExamples + "/instrument.nol";
    Result r = run({"plan", "--json", "--instrument", instrument, path("W\xc3\xa4sche.nol"),
                    path("a\"b\\c.nol")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"list\": \"W\xc3\xa4sche\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"list\": \"a\\\"b\\\\c\""), std::string::npos) << r.out;

    // A consumer of the JSON reads the reason on stdout; stderr and the status stay.
    r = run({"plan", "--json", "--instrument", path("none.nol"), path("a\"b\\c.nol")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\n    \"error\": \"Cannot open file " + path("none.nol") + "\"\n}\n");
    EXPECT_EQ(r.err, "error: Cannot open file " + path("none.nol") + "\n");
    r = run({"--port", path("no-port"), "plan", "--json", path("a\"b\\c.nol")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"error\": \"Cannot open " + path("no-port")), std::string::npos)
        << r.out;
}

}  // namespace
