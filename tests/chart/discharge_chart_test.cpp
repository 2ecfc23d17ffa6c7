// The README's chart tells the truth: its rows follow the core's rules, with
// the end of the reserve counted by the chart's own clock, and the copy in
// docs/ is what the core gives today.
#include "discharge_chart.h"

#include "calibration_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
    int seconds;
    int system;
    int calibrated;
    std::string event;
};

// The discharge plays once for all the tests: each tick saves the state file.
const std::string& Played() {
    static const std::string csv = DischargeChartCsv();
    return csv;
}

std::vector<Row> Rows(const std::string& csv) {
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, kDischargeChartHeader);
    std::vector<Row> rows;
    while (std::getline(lines, line)) {
        double minute = 0;
        char event[32] = {};
        Row row{};
        int fields = std::sscanf(line.c_str(), "%lf,%d,%d,%31[^\n]", &minute, &row.system,
                                 &row.calibrated, event);
        EXPECT_GE(fields, 3) << line;
        row.seconds = static_cast<int>(std::lround(minute * 60));
        row.event = event;
        rows.push_back(row);
    }
    return rows;
}

TEST(DischargeChartTest, WhileTheSystemFigureRunsTheCalibratedChargeIsHalfOfItOverAFullReserve) {
    std::vector<Row> rows = Rows(Played());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].seconds, 0);
    EXPECT_EQ(rows[0].calibrated, 100);
    EXPECT_EQ(rows[0].event, "unplugged");
    int systemRows = 0;
    for (const Row& row : rows) {
        if (row.system <= 1) continue;
        EXPECT_EQ(row.calibrated, 50 + row.system / 2) << "at " << row.seconds << " s";
        ++systemRows;
    }
    EXPECT_GT(systemRows, 98);  // every figure from 100% down to 2%
}

TEST(DischargeChartTest, TheReserveHourEndsWithWarningsAtTenMinutesAndAtOneMinute) {
    std::vector<Row> rows = Rows(Played());
    ASSERT_FALSE(rows.empty());
    int end = rows.back().seconds;
    std::vector<Row> alerts, ends;
    int reserveStart = -1;
    for (const Row& row : rows) {
        if (row.system == 1 && reserveStart < 0) reserveStart = row.seconds;
        if (row.event == "alert") alerts.push_back(row);
        if (row.event == "calibration ended") ends.push_back(row);
        // Until the end of calibration the reserve's half runs down with the clock.
        if (row.system == 1 && ends.empty()) {
            EXPECT_EQ(row.calibrated, (end - row.seconds) * 100 / kReserveSeconds / 2)
                << "at " << row.seconds << " s";
        }
    }
    EXPECT_NEAR(end - reserveStart, kReserveSeconds, 5);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(end - alerts[0].seconds, 600);
    EXPECT_EQ(end - alerts[1].seconds, 60);
    EXPECT_EQ(alerts[1].calibrated, 0);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].seconds, alerts[1].seconds);
    EXPECT_EQ(rows.back().calibrated, 0);
}

TEST(DischargeChartTest, TheCopyInDocsIsWhatTheCoreGivesToday) {
    std::ifstream file(DOCS_DISCHARGE_CHART, std::ios::binary);
    std::string docs((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(docs == Played())
        << DOCS_DISCHARGE_CHART " is out of date: run make demo, then scripts/copy-demo-pictures.sh";
}

}  // namespace
