// The screens in the user guide are the programs' own: each is run again
// against the simulated analyzer and compared with what the guide shows.
//   KM37_UPDATE_GUIDE=1 program_tests --gtest_filter='Guide.*'
// writes the programs' present screens into the guide instead.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/simulator.h"

namespace km37::testing {
namespace {

const std::string kOpening = ".---- screen: ";
const std::string kClosing = "'---- end of screen ----\n";
const std::string kGuideDate = "Jul  5 2011";  // the date of a release build

struct Scenario {
    std::string name;
    const char* program;
    std::vector<std::string> misbehaviour;  // of the analyzer
    std::string device;                     // empty: the analyzer's
};

const Scenario kScenarios[] = {
    {"success", FWUPDATE_KM37B, {}, ""},
    {"no response", FWUPDATE_KM37, {"--silent"}, ""},
    {"programming error", FWUPDATE_KM37, {"--wrong-low", "3"}, ""},
    {"cannot open", FWUPDATE_KM37, {}, "/dev/serial/by-id/usb-KM-37-not-connected"},
};

std::string screen_of(const Scenario& scenario) {
    Simulator analyzer(scenario.misbehaviour);
    const std::string device = scenario.device.empty() ? analyzer.device() : scenario.device;
    Process program({{scenario.program, device}, {"LANG=C"}, "", false});
    program.finish(60s);
    std::string screen = program.output();
    // The guide shows a release build's date whatever day this build was made.
    const std::string build_date = __DATE__;
    for (std::size_t at = screen.find(build_date); at != std::string::npos;
         at = screen.find(build_date, at + kGuideDate.size())) {
        screen.replace(at, build_date.size(), kGuideDate);
    }
    return screen;
}

TEST(Guide, ShowsThePresentScreensOfThePrograms) {
    std::string guide = read_file(KM37_GUIDE);
    ASSERT_FALSE(guide.empty()) << KM37_GUIDE;
    const bool update = std::getenv("KM37_UPDATE_GUIDE") != nullptr;
    std::size_t screens = 0;
    for (const Scenario& scenario : kScenarios) {
        const std::string opening = kOpening + scenario.name + " ----\n";
        const std::size_t start = guide.find(opening);
        ASSERT_NE(start, std::string::npos) << "the guide has no screen \"" << scenario.name << "\"";
        const std::size_t body = start + opening.size();
        const std::size_t end = guide.find(kClosing, body);
        ASSERT_NE(end, std::string::npos) << "the screen \"" << scenario.name << "\" is not closed";
        const std::string present = screen_of(scenario);
        if (update) {
            guide.replace(body, end - body, present);
        } else {
            EXPECT_EQ(guide.substr(body, end - body), present)
                << "the guide's screen \"" << scenario.name << "\" is not what the program prints now; "
                << "scripts/update-guide.sh captures it again";
        }
        ++screens;
    }
    EXPECT_EQ(screens, 4u);
    if (update) {
        std::ofstream(KM37_GUIDE, std::ios::binary) << guide;
    }
}

}  // namespace
}  // namespace km37::testing
