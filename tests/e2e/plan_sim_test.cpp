// The plan and the changed-only send of vexilo-cli against nimbra-sim: what the simulator
// receives is the proof that unchanged objects stay home.

#include "config/text_file.h"
#include "e2e_support.h"

namespace vexilo::test {
namespace {

class PlanSim : public ::testing::Test {
  protected:
    void SetUp() override {
        sim = std::make_unique<SimProcess>(
            NIMBRA_SIM_PATH,
            Lines{"--config", kExamples + "/instrument.nol", "--link", dir.file("nimbra")}, dir);
        ASSERT_TRUE(sim->started());
        ASSERT_TRUE(sim->port()) << sim->log();
    }
    void TearDown() override {
        if (HasFailure() && sim) std::cerr << "--- nimbra-sim log\n" << sim->log();
    }

    CliResult cli(Lines args) {
        args.insert(args.begin(), {"--port", dir.file("nimbra")});
        return run_cli(dir, args);
    }

    Lines downloads() { return filtered(logged_commands(sim->log()), "DLD_OBJ "); }

    static Lines split_lines(const std::string& text) {
        Lines out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }

    static Lines filtered(const Lines& lines, const std::string& prefix) {
        Lines out;
        for (const std::string& line : lines) {
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
        }
        return out;
    }

    TempDir dir;
    std::unique_ptr<SimProcess> sim;
};

TEST_F(PlanSim, PlanNamesTheOneChangeAndChangedOnlySendsJustThat) {
    const std::string assay = dir.file("assay.nol");
    auto lines = read_text_lines(kExamples + "/lists/assay.nol");
    ASSERT_TRUE(lines);
    ASSERT_TRUE(write_text_lines(assay, *lines));
    const CliResult whole = cli({"send", assay});
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_EQ(downloads().size(), 6u);

    for (std::string& line : *lines) {
        if (line == "Pump;AssayPump;50;10;0;0") line = "Pump;AssayPump;75;10;0;0";
    }
    ASSERT_TRUE(write_text_lines(assay, *lines));
    const CliResult plan = cli({"plan", assay});
    ASSERT_EQ(plan.status, 0) << plan.err;
    EXPECT_EQ(filtered(split_lines(plan.out), "changed: "),
              Lines{"changed: Pump:AssayPump (assay): Volume: 50 \xC2\xB5l -> 75 \xC2\xB5l"});
    EXPECT_EQ(split_lines(plan.out).back(),
              "0 new, 1 changed, 5 unchanged, 0 misfit, 9 only in the Nimbra");
    ASSERT_EQ(downloads().size(), 6u);  // a plan sends nothing

    const CliResult changed = cli({"send", "--changed-only", assay});
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_NE(changed.err.find("status: 1 objects downloaded, 5 already in the Nimbra\n"),
              std::string::npos)
        << changed.err;
    const Lines sent = downloads();
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(sent.back(), "DLD_OBJ Pump;AssayPump;75;10;0;0;");

    const CliResult again = cli({"send", "--changed-only", assay});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("info: No download: all objects are already in the Nimbra\n"),
              std::string::npos)
        << again.err;
    EXPECT_EQ(downloads().size(), 7u);

    // A misfit makes the plan fail, whatever else it finds.
    for (std::string& line : *lines) {
        if (line.rfind("Method;Assay;", 0) == 0) line = "Method;Assay;1;Nobody;AssayUV;900;x";
    }
    ASSERT_TRUE(write_text_lines(assay, *lines));
    const CliResult misfit = cli({"plan", "--instrument", kExamples + "/instrument.nol", assay});
    EXPECT_EQ(misfit.status, 1);
    EXPECT_NE(misfit.out.find("misfit: Method:Assay (assay): Unknown object: \"Nobody\"\n"),
              std::string::npos)
        << misfit.out;
}

}  // namespace
}  // namespace vexilo::test
