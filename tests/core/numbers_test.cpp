#include "run/numbers.h"

#include <gtest/gtest.h>

#include <limits>

namespace km37 {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct ArgumentCase {
    std::string_view argument;
    std::int32_t port;
};

TEST(PortNumberFromArgument, IsDecimalAndStopsAtTheFirstNonDigit) {
    const ArgumentCase cases[] = {
        {"3", 3},          {"12", 12},        {"010", 10},          {"0x1F", 0},   {"COM3", 0},
        {"0", 0},          {"-4", -4},        {"300", 300},         {"+7", 7},     {"", 0},
        {" \t\n\v\f\r5", 5}, {"7abc", 7},     {"- 7", 0},           {"+-7", 0},    {"255", 255},
        {"08", 8},         {"2147483647", kMax}, {"-2147483648", kMin},
        // Beyond 32 bits: saturates, never wraps into 1 to 255.
        {"4294967299", kMax}, {"2147483648", kMax}, {"-4294967295", kMin},
        {"99999999999999999999999999999", kMax},
    };
    for (const ArgumentCase& c : cases) {
        EXPECT_EQ(port_number_from_argument(c.argument), c.port) << "argument \"" << c.argument << "\"";
    }
}

struct AnswerCase {
    std::string_view answer;
    std::optional<std::int32_t> number;
};

TEST(NumberFromAnswer, DetectsItsBaseFromItsPrefix) {
    const AnswerCase cases[] = {
        {"010", 8},        {"0x1F", 31},      {"0X1f", 31},      {"7abc", 7},       {"08", 0},
        {"0", 0},          {"  7", 7},        {"7 ", 7},         {"-1", -1},        {"256", 256},
        {"+012", 10},      {"-0x10", -16},    {"\t\r\v\f 9", 9}, {"0777", 511},     {"019", 1},
        {"0x", std::nullopt}, {"0xg", std::nullopt}, {"", std::nullopt}, {"abc", std::nullopt},
        {"-", std::nullopt}, {"+", std::nullopt}, {" ", std::nullopt}, {"x1", std::nullopt},
        {"0xFFFFFFFF", kMax}, {"0x100000003", kMax}, {"037777777777", kMax}, {"4294967299", kMax},
        {"-0x80000000", kMin}, {"-0x80000001", kMin},
    };
    for (const AnswerCase& c : cases) {
        EXPECT_EQ(number_from_answer(c.answer), c.number) << "answer \"" << c.answer << "\"";
    }
}

TEST(NumberFromAnswer, StopsAtAnEmbeddedNul) {
    EXPECT_EQ(number_from_answer(std::string_view("12\0" "3", 4)), 12);
    EXPECT_EQ(number_from_answer(std::string_view("\0" "3", 2)), std::nullopt);
}

}  // namespace
}  // namespace km37
