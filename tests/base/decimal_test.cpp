#include "base/decimal.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace omvo::base {
namespace {

struct DecimalCase {
    std::string text;
    std::optional<double> value;
};

TEST(Decimal, ReadsTextsByTheNumberRule) {
    const DecimalCase cases[] = {
        {"12", 12.0},        {"  12.5", 12.5},   {"+3", 3.0},       {"-0.25", -0.25},
        {".", 0.0},          {"5.", 5.0},        {".5", 0.5},       {"1e3", 1000.0},
        {"1E+2", 100.0},     {"2.5e-1", 0.25},   {"-.", 0.0},       {"0", 0.0},
        {"", std::nullopt},  {"   ", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt},
        {"1,5", std::nullopt}, {"12 ", std::nullopt}, {"12\t", std::nullopt},
        {"12km", std::nullopt}, {"1e", std::nullopt}, {"1e+", std::nullopt},
        {"+-1", std::nullopt}, {"inf", std::nullopt}, {"nan", std::nullopt},
        {"0x10", std::nullopt}, {"1.2.3", std::nullopt}, {"\t1", std::nullopt},
        {"1e999", std::nullopt}, {"-1e999", std::nullopt}, {"1e-999", 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        auto got = ParseDecimal(c.text);
        ASSERT_EQ(got.has_value(), c.value.has_value());
        if (c.value) {
            EXPECT_DOUBLE_EQ(*got, *c.value);
        }
    }
}

TEST(Decimal, WritesWholeNumbersPlain) {
    std::string out;
    AppendInt(out, 0);
    out += ' ';
    AppendInt(out, 1234567);
    out += ' ';
    AppendInt(out, -42);
    EXPECT_EQ(out, "0 1234567 -42");
}

}  // namespace
}  // namespace omvo::base
