// Proof against nimbra-sim through vexilo-cli: the read-back after a send, and the audit trail
// every operation leaves.

#include "e2e_support.h"

namespace vexilo::test {
namespace {

class AuditSim : public ::testing::Test {
  protected:
    void start(const Lines& extra = {}, const std::string& link = "nimbra") {
        Lines args = {"--config", kExamples + "/instrument.nol", "--link", dir.file(link)};
        args.insert(args.end(), extra.begin(), extra.end());
        sims.push_back(std::make_unique<SimProcess>(NIMBRA_SIM_PATH, args, dir));
        ASSERT_TRUE(sims.back()->started());
        ASSERT_TRUE(sims.back()->port()) << sims.back()->log();
    }

    CliResult cli(Lines args, const std::string& link = "nimbra") {
        args.insert(args.begin(), {"--port", dir.file(link)});
        return run_cli(dir, args);
    }

    void TearDown() override {
        if (!HasFailure()) return;
        for (const auto& sim : sims)
            std::cerr << "--- nimbra-sim log\n" << sim->log();
    }

    TempDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(AuditSim, VerifyPassesOnASoundInstrumentAndNamesTheObjectMisstored) {
    start({"--fault", "misstore@1"});
    const std::string assay = kExamples + "/lists/assay.nol";
    // The first object is stored wrong: the send is acknowledged, the read-back is not.
    const CliResult bad = cli({"send", "--verify", assay});
    EXPECT_EQ(bad.status, 1) << bad.err;
    EXPECT_NE(bad.err.find("error: Verification failed: 1 of 6 objects not stored as sent"),
              std::string::npos)
        << bad.err;
    EXPECT_NE(bad.err.find("error: Tray:AssayTray: Position: sent 60 mm -> stored 61 mm"),
              std::string::npos)
        << bad.err;
    // The fault is used up: the same send now stores what it sends, and says how many.
    const CliResult good = cli({"send-objects", "--verify", assay});
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_NE(good.err.find("status: 6 objects verified"), std::string::npos) << good.err;
}

}  // namespace
}  // namespace vexilo::test
