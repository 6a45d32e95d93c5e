// Depth from pressure: TEOS-10's against the reference implementation's
// values over the ocean's upper 2,000 dbar at every latitude (the table is
// made, and checked against a live gsw, by make_teos10_table.py), and the
// step from absolute bar to sea pressure that every depth goes through.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "analysis/depthFromPressure.h"
#include "analysis/teos10Depth.h"

namespace {

using namespace zolt;

TEST(Teos10Depth, AgreesWithTheReferenceToAMillimetre) {
  std::ifstream table(std::string(SOURCE_DIR) + "/tests/analysis/teos10Table.csv");
  ASSERT_TRUE(table) << "tests/analysis/teos10Table.csv";
  std::string line;
  std::getline(table, line);
  int rows = 0;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    double dbar = 0;
    double latitude = 0;
    double depth = 0;
    char comma = 0;
    ASSERT_TRUE(fields >> dbar >> comma >> latitude >> comma >> depth) << line;
    EXPECT_NEAR(seaDepth(dbar, latitude), depth, 1e-3) << dbar << " dbar at " << latitude;
    ++rows;
  }
  EXPECT_EQ(rows, 28 * 13);
}

// A bar is ten decibars, measured from the surface pressure; fresh water
// weighs its density times the latitude's gravity.
TEST(DepthFromPressure, MeasuresFromTheSurfaceInDecibars) {
  const DepthFromPressure sea;
  EXPECT_DOUBLE_EQ(sea.depth(1.0132 + 10, 1.0132), seaDepth(100, 45));
  EXPECT_DOUBLE_EQ(sea.depth(1.0132, 1.0132), 0);
  EXPECT_LT(sea.depth(1.0, 1.0132), 0);

  DepthParameters fresh;
  fresh.water = Water::kFresh;
  fresh.latitude = 90;
  const DepthFromPressure lake = DepthFromPressure::make(fresh).value();
  EXPECT_NEAR(lake.depth(2.0, 1.0), 1e5 / (999.97 * surfaceGravity(90)), 1e-12);
}

}  // namespace
