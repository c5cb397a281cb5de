#include "dsp/ParameterSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace qrv {
namespace {

std::string Display(unsigned index, double v) {
  char text[16] = {};
  GetParameterDisplay(index, v, text, sizeof text);
  return text;
}

std::string TwoDecimals(float x) {
  char text[16] = {};
  FormatTwoDecimals(x, text, sizeof text);
  return text;
}

TEST(ParameterSet, SlotTableAnswersEveryIndex) {
  const struct {
    unsigned index;
    const char* name;
    int flags;
    double def;
    int steps;
  } expected[] = {
      {0, "Process", 9, 1.0, 0},        {2, "Ratio", 9, 0.5, 0},          {3, "AttackRatio", 9, 0.5, 0},
      {4, "Time", 9, 0.5, 100},         {5, "Compression", 9, 0.5, 100},  {6, "Output", 9, 0.15, 300},
      {7, "ValveLevel", 9, 0.5, 0},     {13, "Gain Reduction", 2, 0.0, 0}, {1, " ", 0, 0.5, 0},
      {12, " ", 0, 0.5, 0},             {28, " ", 0, 0.5, 0},             {29, " ", 0, 0.5, 0},
      {1000, " ", 0, 0.5, 0},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.index);
    char name[16];
    GetParameterName(e.index, name, sizeof name);
    EXPECT_STREQ(name, e.name);
    EXPECT_EQ(GetParameterFlags(e.index), e.flags);
    EXPECT_EQ(GetParameterDefault(e.index), e.def);
    EXPECT_EQ(GetParameterSteps(e.index), e.steps);
  }
  // A short buffer is cut, never overrun.
  char small[4] = {'x', 'x', 'x', 'x'};
  GetParameterName(13, small, sizeof small);
  EXPECT_STREQ(small, "Gai");
}

TEST(ParameterSet, IdentifiersAreIndexColonSpaceNameAndMatchExactly) {
  EXPECT_STREQ(GetParameterId(0), "0: Process");
  EXPECT_STREQ(GetParameterId(5), "5: Compression");
  EXPECT_STREQ(GetParameterId(13), "13: Gain Reduction");
  EXPECT_STREQ(GetParameterId(1), "1:  ");
  EXPECT_STREQ(GetParameterId(9), "9:  ");
  EXPECT_STREQ(GetParameterId(28), "28:  ");
  EXPECT_STREQ(GetParameterId(29), "");
  for (unsigned i = 0; i < kParameterCount; ++i) EXPECT_EQ(FindParameterId(GetParameterId(i)), static_cast<int>(i));
  EXPECT_EQ(FindParameterId("1: "), -1);  // the full text, trailing spaces included
  EXPECT_EQ(FindParameterId("5: compression"), -1);
  EXPECT_EQ(FindParameterId(""), -1);
}

TEST(ParameterSet, DisplayTextsOfEverySlot) {
  EXPECT_EQ(Display(0, 1.0), "Valve");
  EXPECT_EQ(Display(0, 0.5), "Clear");
  EXPECT_EQ(Display(0, 0.25), "Clear");
  EXPECT_EQ(Display(0, 0.2499), "Off");
  EXPECT_EQ(Display(0, 0.0), "Off");
  EXPECT_EQ(Display(0, 7.0), "Off");

  EXPECT_EQ(Display(2, 0.0), "1.2:1");
  EXPECT_EQ(Display(2, 0.1667), "1.5:1");
  EXPECT_EQ(Display(2, 1.0), "10:1");
  EXPECT_EQ(Display(3, 0.0), "x0.25");
  EXPECT_EQ(Display(3, 0.5), "x1");
  EXPECT_EQ(Display(7, 0.0), "-3");
  EXPECT_EQ(Display(7, 1.0), "+3");
  // A step beyond the table leaves the zero-filled buffer empty.
  EXPECT_EQ(Display(2, 1.2), "");
  EXPECT_EQ(Display(3, 1.2), "");
  EXPECT_EQ(Display(7, -0.5), "");

  EXPECT_EQ(Display(4, 0.8), "8.00");
  EXPECT_EQ(Display(4, 0.525), "5.50");
  EXPECT_EQ(Display(5, 0.5), "5.00");
  EXPECT_EQ(Display(5, 0.725), "7.25");
  EXPECT_EQ(Display(5, 1.0), "10.00");
  EXPECT_EQ(Display(6, 0.15), "4.50");
  EXPECT_EQ(Display(6, 1.0), "30.00");
  EXPECT_EQ(Display(6, 0.0), "0.00");

  EXPECT_EQ(Display(13, 1.0), "0.00");
  EXPECT_EQ(Display(13, 0.5), "-6.02");
  EXPECT_EQ(Display(13, 0.0001), "-80.00");
  EXPECT_EQ(Display(13, 0.00005), "-oo");
  EXPECT_EQ(Display(1, 0.5), "");
  EXPECT_EQ(Display(99, 0.5), "");
}

TEST(ParameterSet, FormatTwoDecimalsLiftsHalfUpAndBoundsMagnitude) {
  EXPECT_EQ(TwoDecimals(5.5f), "5.50");
  EXPECT_EQ(TwoDecimals(0.0f), "0.00");
  EXPECT_EQ(TwoDecimals(7.25f), "7.25");
  EXPECT_EQ(TwoDecimals(30.0f), "30.00");
  EXPECT_EQ(TwoDecimals(-3.5f), "-3.50");
  EXPECT_EQ(TwoDecimals(0.125f), "0.13");   // half lifts up
  EXPECT_EQ(TwoDecimals(-0.125f), "-0.13");
  // The lift starts 0.00001 below the half: 12.4999948 hundredths lift, 12.49985 do not.
  EXPECT_EQ(TwoDecimals(0.12499995f), "0.13");
  EXPECT_EQ(TwoDecimals(-0.12499995f), "-0.13");
  EXPECT_EQ(TwoDecimals(0.1249985f), "0.12");
  EXPECT_EQ(TwoDecimals(0.29f), "0.29");  // 0.28999999 in single precision
  EXPECT_EQ(TwoDecimals(99999999.0f), "");  // above the limit in single precision (100000000)
  EXPECT_EQ(TwoDecimals(12345.0f), "12345.00");
  EXPECT_EQ(TwoDecimals(-9999999.0f), "-9999999.00");
  EXPECT_EQ(TwoDecimals(-20000000.0f), "");
  EXPECT_EQ(TwoDecimals(std::nanf("")), "");
  // Beyond the limit nothing is written at all, not even a terminating zero.
  char text[16];
  std::memset(text, 'x', sizeof text);
  FormatTwoDecimals(2e8f, text, sizeof text);
  EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, 'x'));
  std::memset(text, 'x', sizeof text);
  GetParameterDisplay(kSlotOutput, 1e8, text, sizeof text);
  EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, 'x'));
}

TEST(ParameterSet, StepPrecisionDiffersBetweenEngineAndDisplay) {
  // Single precision rounds 6 * 0.08333333 + 0.5 up to 1; double precision stays below.
  EXPECT_EQ(StepOfSingle(0.08333333, 6), 1);
  EXPECT_EQ(StepOf(0.08333333, 6), 0);
  EXPECT_EQ(Display(2, 0.08333333), "1.2:1");

  EXPECT_EQ(StepOf(0.15, 60), 9);  // Output default: 4.5 dB
  EXPECT_EQ(CompressionStep(0.5), 25);
  EXPECT_EQ(CompressionStep(0.0), 0);
  EXPECT_EQ(CompressionStep(1.0), 40);
  EXPECT_EQ(CompressionStep(-0.3), 0);  // no real power of a negative value: drives like 0
  // Saturation instead of undefined integer conversion.
  EXPECT_EQ(TruncToInt(1e300), 1 << 30);
  EXPECT_EQ(TruncToInt(-1e300), -(1 << 30));
  EXPECT_EQ(TruncToInt(std::nan("")), 0);
}

}  // namespace
}  // namespace qrv
