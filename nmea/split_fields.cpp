#include "nmea/split_fields.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>

void SplitNmeaFields(std::vector<std::string>& fields, std::string_view line) {
  fields.clear();
  boost::algorithm::split(fields, line, boost::algorithm::is_any_of(","),
                          boost::algorithm::token_compress_off);
}
