#include "catalogue/trip_class.hpp"

#include <gtest/gtest.h>

#include <string>

namespace omvo::catalogue {
namespace {

// A dates line: the 11-character label (21 bytes), then the dates text as written in the list.
std::string DatesLine(std::string_view dates) { return "Даты похода" + std::string(dates); }

TripRecord Trip(std::string_view heading, std::string_view dates = " 15 июля 2010") {
    TripRecord trip;
    trip.heading = std::string(heading);
    trip.idLine = "Код: AB123 (120 км)";
    trip.datesLine = DatesLine(dates);
    trip.summary = "Краткое описание";
    trip.sightsLine = "Что посмотреть: GPS-трек";
    return trip;
}

TripRecord Tour(std::string_view dates) { return Trip("Велопоход: По озёрам", dates); }

long DayCount(const DateRange& range) { return (range.end - range.start).count(); }

struct RangeCase {
    const char* dates;
    const char* startText;
    const char* endText;
    long days;
    TripClass tourClass;
};

TEST(DateRange, ReadsEveryWayAListWritesATourPeriod) {
    const RangeCase cases[] = {
        {" 15 июля 2010", "15.07.2010", "15.07.2010", 0, TripClass::ShortVoyage},
        {" 12-15 июля 2010", "12.07.2010", "15.07.2010", 3, TripClass::ShortVoyage},
        {" 5-7 мая 2011", "05.05.2011", "07.05.2011", 2, TripClass::ShortVoyage},
        {" 28 апреля - 2 мая 2011", "28.04.2011", "02.05.2011", 4, TripClass::ShortVoyage},
        {" 30 декабря 2010 - 2 января 2011", "30.12.2010", "02.01.2011", 3, TripClass::ShortVoyage},
        {" 7 - 12 июня 2009", "07.06.2009", "12.06.2009", 5, TripClass::LongVoyage},
        {" 1-10 мая 2011", "01.05.2011", "10.05.2011", 9, TripClass::LongVoyage},
        {" 3-25 августа 2012", "03.08.2012", "25.08.2012", 22, TripClass::GreatVoyage},
        // Not from the usual wording, but met in lists.
        {" 5 мая 2011", "05.05.2011", "05.05.2011", 0, TripClass::ShortVoyage},
        {"28.02.2012-1.03.2012", "28.02.2012", "01.03.2012", 2, TripClass::ShortVoyage},
        {" 1 сентября - 5 октября 2013", "01.09.2013", "05.10.2013", 34, TripClass::GreatVoyage},
        {" 20 ноября - 1 декабря 2014", "20.11.2014", "01.12.2014", 11, TripClass::LongVoyage},
        {" 1 - 3 февраля 2015", "01.02.2015", "03.02.2015", 2, TripClass::ShortVoyage},
        {" 29 марта - 1 апреля 2016", "29.03.2016", "01.04.2016", 3, TripClass::ShortVoyage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.startText);
        const DateRange range = ParseDateRange(DatesLine(c.dates));
        EXPECT_EQ(range.startText, c.startText);
        EXPECT_EQ(range.endText, c.endText);
        ASSERT_TRUE(range.hasDates);
        EXPECT_TRUE(range.valid);
        EXPECT_EQ(DayCount(range), c.days);
        EXPECT_EQ(ClassifyTrip(Tour(c.dates)), c.tourClass);
    }
}

TEST(TripClass, DrawsToursOfFiveDaysShortAndOfTwentyTwoDaysGreat) {
    const struct { const char* dates; long days; TripClass tourClass; } cases[] = {
        {" 1-5 мая 2011", 4, TripClass::ShortVoyage},
        {" 1-6 мая 2011", 5, TripClass::LongVoyage},
        {" 1-21 мая 2011", 20, TripClass::LongVoyage},
        {" 1-22 мая 2011", 21, TripClass::GreatVoyage},
        {" 28 февраля - 3 марта 2012", 4, TripClass::ShortVoyage},  // leap year
        {" 28 февраля - 5 марта 2011", 5, TripClass::LongVoyage},
        {" 20 декабря 2011 - 9 января 2012", 20, TripClass::LongVoyage},
        {" 20 декабря 2011 - 10 января 2012", 21, TripClass::GreatVoyage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.days);
        EXPECT_EQ(DayCount(ParseDateRange(DatesLine(c.dates))), c.days);
        EXPECT_EQ(ClassifyTrip(Tour(c.dates)), c.tourClass);
    }
}

TEST(TripClass, TakesTheKindFromTheLabelAtTheStartOfTheHeading) {
    const struct { const char* heading; TripClass tripClass; } cases[] = {
        {"Велопробег: Калуга - Таруса", TripClass::DayTrip},
        {"Велопробег: Ночной Калуга", TripClass::NightTrip},
        {"Велопробег: по ночной Калуге", TripClass::NightTrip},
        {"Велопробег: в полуночной тиши", TripClass::NightTrip},  // inside a longer word
        {"Велопробег:ночной", TripClass::NightTrip},
        {"Велопробег: НОЧНОЙ город", TripClass::DayTrip},         // capitals throughout
        {"Велопробег: ночь на Оке", TripClass::DayTrip},
        {"Бревет: 200 км", TripClass::Brevet},
        {"Бревет: ночной 300 км", TripClass::Brevet},
        {"Бревет:", TripClass::Brevet},
        {"БРЕВЕТ: 200 км", TripClass::DayTrip},
        {" Велопробег: ночной", TripClass::DayTrip},              // blank before the label
        {"велопробег: ночной", TripClass::DayTrip},               // label in other case
        {"Велопробег ночной", TripClass::DayTrip},                // no colon
        {"Ночной Велопробег: по Калуге", TripClass::DayTrip},     // label not at the start
        {"Прогулка: ночной город", TripClass::DayTrip},
        {"Велопоход: ночной", TripClass::ShortVoyage},             // a tour goes by its dates
        {"", TripClass::DayTrip},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.heading);
        EXPECT_EQ(ClassifyTrip(Trip(c.heading)), c.tripClass);
    }
}

TEST(TripClass, NamesEveryClassByItsStyleId) {
    const struct { TripClass tripClass; const char* styleId; } cases[] = {
        {TripClass::DayTrip, "sn_day_trip"},         {TripClass::NightTrip, "sn_night_trip"},
        {TripClass::ShortVoyage, "sn_short_voyage"}, {TripClass::LongVoyage, "sn_long_voyage"},
        {TripClass::GreatVoyage, "sn_great_voyage"}, {TripClass::Brevet, "sn_brevet"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StyleIdOf(c.tripClass), c.styleId);
        EXPECT_EQ(ClassOfStyleId(c.styleId), c.tripClass);  // an overlay's style names a class
    }
    EXPECT_EQ(ClassOfStyleId("sn_brevet "), std::nullopt);
    EXPECT_EQ(ClassOfStyleId(""), std::nullopt);
    EXPECT_EQ(StyleIdOf(ClassifyTrip(Trip("Велопробег: ночной"))), "sn_night_trip");
    EXPECT_EQ(StyleIdOf(ClassifyTrip(Tour(" 3-25 августа 2012"))), "sn_great_voyage");
    EXPECT_EQ(StyleIdOf(ClassifyTrip(Trip("Бревет: 600 км"))), "sn_brevet");
}

TEST(DateRange, IsNotValidWhenATextHasNoDateShape) {
    const struct { const char* what; std::string line; } cases[] = {
        {"label only", std::string("Даты похода")},
        {"shorter than the label", std::string("Даты")},
        {"blanks after the label", std::string("Даты похода    ")},
        {"year abbreviated after it", DatesLine(" 15 июля 2010 г.")},
        {"capitalised month", DatesLine(" 15 Июля 2010")},
        {"abbreviated month", DatesLine(" 15 июл. 2010")},
        {"no year", DatesLine(" 12-15 июля")},
        {"two-digit year", DatesLine(" 15.07.10")},
        {"a second dash belongs to the end", DatesLine(" 1-3-5 мая 2011")},
        {"tab inside", DatesLine(" 15\tиюля 2010")},
        {"words", DatesLine(" летом")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const DateRange range = ParseDateRange(c.line);
        EXPECT_FALSE(range.hasDates);
        EXPECT_FALSE(range.valid);
        EXPECT_TRUE(range.badDateText.empty());
    }
}

TEST(DateRange, KeepsAnEndBeforeTheStartAsANegativeDayCount) {
    // The start is completed with the year of the end.
    const DateRange range = ParseDateRange(DatesLine(" 30 декабря - 2 января 2011"));
    EXPECT_EQ(range.startText, "30.12.2011");
    EXPECT_EQ(range.endText, "02.01.2011");
    ASSERT_TRUE(range.hasDates);
    EXPECT_FALSE(range.valid);
    EXPECT_EQ(DayCount(range), -362);
    EXPECT_EQ(ClassifyTrip(Tour(" 30 декабря - 2 января 2011")), TripClass::ShortVoyage);
}

TEST(DateRange, ReportsTheFirstDateTextThatIsNoCalendarDate) {
    const struct { const char* dates; const char* badText; } cases[] = {
        {" 31 июня 2010", "31.06.2010"},
        {" 29 февраля 2011", "29.02.2011"},
        {" 00.05.2011", "00.05.2011"},
        {" 32.05.2011", "32.05.2011"},
        {" 15.13.2011", "15.13.2011"},
        {" 15.00.2011", "15.00.2011"},
        {" 15.05.0000", "15.05.0000"},
        {" 30 февраля - 31 июня 2011", "30.02.2011"},  // the start is read first
        {" 28-31 июня 2011", "31.06.2011"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dates);
        const DateRange range = ParseDateRange(DatesLine(c.dates));
        EXPECT_EQ(range.badDateText, c.badText);
        EXPECT_FALSE(range.hasDates);
        EXPECT_FALSE(range.valid);
    }
    const DateRange leapDay = ParseDateRange(DatesLine(" 29 февраля 2012"));
    EXPECT_TRUE(leapDay.valid);
    EXPECT_TRUE(leapDay.badDateText.empty());
    EXPECT_TRUE(ParseDateRange(DatesLine(" 31.12.9999")).valid);
    EXPECT_TRUE(ParseDateRange(DatesLine(" 01.01.0001")).valid);
}

TEST(TripClass, WarnsAboutAnImpossibleDateAndDrawsTheTourShort) {
    ::testing::internal::CaptureStderr();
    const TripClass tripClass = ClassifyTrip(Tour(" 31 июня 2010"));
    const std::string warning = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(tripClass, TripClass::ShortVoyage);
    EXPECT_NE(warning.find("ab123"), std::string::npos) << warning;
    EXPECT_NE(warning.find("31.06.2010"), std::string::npos) << warning;

    ::testing::internal::CaptureStderr();
    (void)ClassifyTrip(Tour(" 1-22 мая 2011"));
    (void)ClassifyTrip(Tour(" летом"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(TripClass, DrawsATourOfUnknownLengthShortWhateverCameBefore) {
    EXPECT_EQ(ClassifyTrip(Tour(" 3-25 августа 2012")), TripClass::GreatVoyage);
    EXPECT_EQ(ClassifyTrip(Tour(" летом 2012")), TripClass::ShortVoyage);
    EXPECT_EQ(ClassifyTrip(Tour(" 1-10 мая 2011")), TripClass::LongVoyage);
    EXPECT_EQ(ClassifyTrip(Tour("")), TripClass::ShortVoyage);
}

TEST(DateRange, SkipsALabelOfElevenCharactersWhateverTheyAre) {
    std::string emoji;
    for (int i = 0; i < 11; ++i) emoji += "\U0001F6B2";
    for (const std::string& label : {std::string("Даты:\u00A0–\u00A0\u00A0\u00A0\u00A0"), emoji,
                                     std::string("Dates:     ")}) {
        SCOPED_TRACE(label);
        EXPECT_EQ(ParseDateRange(label + "15 июля 2010").startText, "15.07.2010");
    }
}

TEST(DateText, HasTwoDigitDayAndMonthAndFourDigitYear) {
    const struct { const char* text; bool isDate; } cases[] = {
        {"15.07.2010", true},  {"00.00.0000", true},  {"99.99.9999", true},
        {"5.07.2010", false},  {"15.7.2010", false},  {"15.07.10", false},
        {"15-07-2010", false}, {"15.07.2010.", false}, {"15.07.201a", false},
        {"1a.07.2010", false}, {"", false},           {"15,07,2010", false},
        {" 5.07.2010", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsDateText(c.text), c.isDate);
    }
}

TEST(TextEdit, RemovesBlanksOnly) {
    EXPECT_EQ(RemoveBlanks(" 1 - 2\t3 "), "1-2\t3");
    EXPECT_EQ(RemoveBlanks("   "), "");
    EXPECT_EQ(RemoveBlanks("28 апреля"), "28апреля");
}

TEST(TextEdit, ReplacesUntilNoOccurrenceIsLeft) {
    const struct { const char* text; const char* search; const char* replacement; const char* result; } cases[] = {
        {"1мая-3мая", "мая", ".05.", "1.05.-3.05."},
        {"aab", "ab", "b", "b"},  // a new occurrence before the replaced one is found too
        {"aaab", "ab", "b", "b"},
        {"abc", "", "x", "abc"},
        {"", "a", "b", ""},
        {"a", "a", "aa", "aa"},   // a replacement holding the search text is made once
        {"-5.-5.", "-5.", "-05.", "-05.-05."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReplaceAll(c.text, c.search, c.replacement), c.result);
    }
}

}  // namespace
}  // namespace omvo::catalogue
