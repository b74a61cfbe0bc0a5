#include "nmea/split_fields.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/find_iterator.hpp>
#include <boost/algorithm/string/finder.hpp>

void SplitNmeaFields(std::vector<std::string>& fields, std::string_view line) {
  // boost::algorithm::split's own iterator and finder, the pieces assigned
  // into the strings already there: a line costs no allocation once the
  // list has held as many fields.
  using Pieces = boost::algorithm::split_iterator<std::string_view::const_iterator>;
  std::size_t n = 0;
  for (Pieces it = boost::algorithm::make_split_iterator(
           line, boost::algorithm::token_finder(boost::algorithm::is_any_of(","),
                                                boost::algorithm::token_compress_off));
       it != Pieces(); ++it, ++n) {
    const std::string_view piece(it->begin(), it->end());
    if (n < fields.size())
      fields[n].assign(piece);
    else
      fields.emplace_back(piece);
  }
  fields.resize(n);
}
