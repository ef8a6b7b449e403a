#include "catalogue/trip_class.hpp"

namespace omvo::catalogue {

DateRange ParseDateRange(std::string_view) { return {}; }  // TODO
bool IsDateText(std::string_view) { return false; }  // TODO
std::string RemoveBlanks(std::string_view text) { return std::string(text); }  // TODO
std::string ReplaceAll(std::string text, std::string_view, std::string_view) { return text; }  // TODO
TTripClass TripClass(const TTripRecord&) { return TTripClass::DayTrip; }  // TODO
std::string_view StyleIdOf(TTripClass) { return "sn_day_trip"; }  // TODO
std::string_view TripStyleId(const TTripRecord& trip) { return StyleIdOf(TripClass(trip)); }

}  // namespace omvo::catalogue
